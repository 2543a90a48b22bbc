#include "host/menu_definition.h"

#include <string>

namespace host {
namespace {
constexpr uint64_t shift = 1u << 17, control = 1u << 18;
// Shortcuts take Control with Shift, so that Control with a letter always reaches the views.
constexpr uint64_t controlShift = control | shift;

MenuItem item(std::string title, int64_t tag, std::string key = {}, uint64_t modifiers = 0) {
    const uint64_t mods = key.empty() ? 0 : modifiers;
    return {std::move(title), std::move(key), mods, tag};
}
MenuItem separator() { return {}; }
}  // namespace

std::vector<Menu> menuDefinition() {
    std::vector<Menu> bar;
    bar.push_back({"Ostrakonix",
                   {item("Einstellungen …", 207), separator(), item("Ostrakonix beenden", quitMenuTag, "Q", controlShift)}});
    bar.push_back({"Ablage",
                   {item("Öffnen …", 100, "O", controlShift), item("Sichern unter …", 101), separator(),
                    item("Fenster schließen", 201, "W", controlShift)}});
    bar.push_back({"Bearbeiten",
                   {item("Bildschirm als Text kopieren", 111, "C", controlShift),
                    item("Bildschirm als Bild kopieren", 110, "B", controlShift)}});
    Menu windows{"Fenster", {}};
    for (int n = 0; n < 8; ++n) {
        windows.items.push_back(item("Grafikfenster " + std::to_string(n) + " zeigen", 213 + 2 * n));
        windows.items.push_back(item("Grafikfenster " + std::to_string(n) + " verbergen", 214 + 2 * n));
    }
    windows.items.push_back(separator());
    windows.items.push_back(item("Zwischenablage zeigen", 211));
    windows.items.push_back(item("Zwischenablage verbergen", 212));
    windows.items.push_back(item("Drucker zeigen", 209));
    windows.items.push_back(item("Drucker verbergen", 210));
    windows.items.push_back(item("Drucker leeren", 112));
    windows.items.push_back(item("Konsole zeigen", 229));
    windows.items.push_back(item("Konsole verbergen", 230));
    windows.items.push_back(item("Konsole leeren", 114));
    windows.items.push_back(separator());
    windows.items.push_back(item("Hauptfenster zeigen", 205));
    windows.items.push_back(item("Hauptfenster verbergen", 206));
    windows.items.push_back(item("Einstellungen verbergen", 208));
    windows.items.push_back(item("Alle Fenster verbergen", 200));
    bar.push_back(std::move(windows));
    bar.push_back({"Hilfe", {item("Ostrakonix-Hilfe", 113)}});
    return bar;
}

}  // namespace host
