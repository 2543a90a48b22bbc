#include "hosts/shared/menu_definition.h"

#include <string>

#include "editor/texts.h"

namespace host {
namespace {
namespace texts = editor::texts;
constexpr uint64_t shift = 1u << 17, control = 1u << 18;
// Shortcuts take Control with Shift, so that Control with a letter always reaches the views.
constexpr uint64_t controlShift = control | shift;

MenuItem item(std::string title, int64_t tag, std::string key = {}, uint64_t modifiers = 0) {
    const uint64_t mods = key.empty() ? 0 : modifiers;
    return {std::move(title), std::move(key), mods, tag};
}
// An item whose key the views themselves take: the menu only names it.
MenuItem itemWithKey(std::string title, int64_t tag, std::string keyHint) {
    MenuItem made = item(std::move(title), tag);
    made.keyHint = std::move(keyHint);
    return made;
}
MenuItem separator() { return {}; }
}  // namespace

std::vector<Menu> menuDefinition() {
    std::vector<Menu> bar;
    bar.push_back({"Ostrakonix",
                   {itemWithKey("Über Ostrakonix", aboutMenuTag, "Ctrl+]"), separator(),
                    item("Ostrakonix beenden", quitMenuTag, "Q", controlShift)}});
    bar.push_back({"Ablage",
                   {itemWithKey("Neu", newMenuTag, "Ctrl+X"), item("Öffnen …", openMenuTag, "O", controlShift),
                    itemWithKey("Sichern", saveMenuTag, "Ctrl+S"),
                    item("Sichern unter …", saveAsMenuTag, "S", controlShift), separator(),
                    item("Fenster schließen", 201, "W", controlShift)}});
    bar.push_back({texts::editMenu,
                   {itemWithKey(texts::undoItem, undoMenuTag, "Alt+Backspace"),
                    itemWithKey(texts::redoItem, redoMenuTag, "Shift+Alt+Backspace"), separator(),
                    itemWithKey(texts::markItem, markMenuTag, "Alt+M"),
                    itemWithKey(texts::selectAllItem, selectAllMenuTag, "Alt+A"),
                    itemWithKey(texts::cutItem, cutMenuTag, "Alt+X"),
                    itemWithKey(texts::copyHexItem, copyHexMenuTag, "Alt+C"),
                    itemWithKey(texts::copyTextItem, copyTextMenuTag, "Alt+T"),
                    itemWithKey(texts::pasteItem, pasteMenuTag, "Alt+V"),
                    itemWithKey(texts::deleteItem, deleteMenuTag, "Delete"),
                    itemWithKey(texts::fillItem, fillMenuTag, "Alt+F"), separator(),
                    item("Bildschirm als Text kopieren", 111, "C", controlShift),
                    item("Bildschirm als Bild kopieren", 110, "B", controlShift)}});
    bar.push_back({"Fenster",
                   {itemWithKey("Werte", valuesMenuTag, "Alt+W"), separator(),
                    item("Zwischenablage zeigen", 211), item("Zwischenablage verbergen", 212), separator(),
                    item("Drucker zeigen", 209), item("Drucker verbergen", 210), item("Drucker leeren", 112),
                    separator(), item("Konsole zeigen", 229), item("Konsole verbergen", 230),
                    item("Konsole leeren", 114)}});
    bar.push_back({"Hilfe", {item("Ostrakonix-Hilfe", helpMenuTag)}});
    return bar;
}

const MenuItem* findMenuItem(const std::vector<Menu>& menus, const std::string& menu, const std::string& item) {
    for (const Menu& candidate : menus)
        if (candidate.title == menu)
            for (const MenuItem& entry : candidate.items)
                if (entry.title == item) return &entry;
    return nullptr;
}

}  // namespace host
