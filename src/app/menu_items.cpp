#include "app/menu_items.h"

#include "app/log.h"

namespace {

host::Host& h() { return host::host(); }

// Runs fn with the menu of the menu-bar item `title` on the main thread; logs
// "<operation>: Menu not found." when there is none.
template <typename Fn>
bool withMenu(const char* operation, const std::string& title, Fn&& fn) {
    bool found = false;
    h().runOnMainSync([&] {
        auto index = t_MenuBarItem(title);
        if (!index) return;
        found = true;
        fn(h().menuBar()[*index]);
    });
    if (!found) kt::logLine(std::string(operation) + ": Menu not found.");
    return found;
}

// The item position that `position` addresses, or -1 when out of range.
int64_t resolve(const host::Menu& menu, int64_t position) {
    const auto count = static_cast<int64_t>(menu.items.size());
    if (position == kt::lastMenuItem && count > 0) return count - 1;
    return position >= 0 && position < count ? position : -1;
}

}  // namespace

void t_MenuItemsEnable(const std::string& menuTitle, std::vector<std::pair<std::string, bool>> items) {
    h().runOnMainAsync([menuTitle, items = std::move(items)] {
        for (host::Menu& menu : h().menuBar())
            if (menu.title == menuTitle)
                for (host::MenuItem& item : menu.items)
                    for (const auto& [title, enabled] : items)
                        if (item.title == title) item.enabled = enabled;
        h().menuItemsEnabledChanged();
    });
}

std::optional<size_t> t_MenuBarItem(const std::string& title) {
    std::optional<size_t> result;
    h().runOnMainSync([&] {
        auto& bar = h().menuBar();
        for (size_t i = 0; i < bar.size(); ++i)
            if (bar[i].title == title) {
                result = i;
                return;
            }
    });
    return result;
}

int64_t t_MenuItemIndex(const std::string& menuTitle, const std::string& itemTitle) {
    int64_t index = -1;
    if (!withMenu("t_MenuItemIndex", menuTitle, [&](host::Menu& menu) {
            for (size_t i = 0; i < menu.items.size(); ++i)
                if (menu.items[i].title == itemTitle) {
                    index = static_cast<int64_t>(i);
                    return;
                }
        }))
        return -2;
    return index;
}

void t_MenuItemDelete(const std::string& menuTitle, int64_t position) {
    bool outOfRange = false;
    withMenu("t_MenuItemDelete", menuTitle, [&](host::Menu& menu) {
        int64_t at = resolve(menu, position);
        if (at < 0) {
            outOfRange = true;
            return;
        }
        menu.items.erase(menu.items.begin() + at);
        h().menuBarChanged();
    });
    if (outOfRange) kt::logLine("t_MenuItemDelete: Item position out of range");
}

std::string t_MenuItemTitle(const std::string& menuTitle, int64_t position) {
    std::string title;
    bool outOfRange = false;
    withMenu("t_MenuItemTitle", menuTitle, [&](host::Menu& menu) {
        int64_t at = resolve(menu, position);
        if (at < 0)
            outOfRange = true;
        else
            title = menu.items[static_cast<size_t>(at)].title;
    });
    if (outOfRange) kt::logLine("t_MenuItemTitle: Item position out of range");
    return title;
}

namespace kt {

void menuCleanUp() {
    for (const char* title :
         {"Special Characters…", "Emoji & Symbols", "Emoji & Symbole", "Start Dictation…", "Diktat starten …"}) {
        for (const char* menu : {"Bearbeiten", "Edit"}) {
            int64_t index = t_MenuItemIndex(menu, title);
            if (index >= 0) t_MenuItemDelete(menu, index);
        }
    }
    for (const char* menu : {"Bearbeiten", "Edit"})
        if (t_MenuItemTitle(menu, lastMenuItem).empty()) t_MenuItemDelete(menu, lastMenuItem);
    for (const char* title : {"Tile Window to Left of Screen", "Tile Window to Right of Screen", "Vollbildmodus"}) {
        int64_t index = t_MenuItemIndex("Fenster", title);
        if (index >= 0) {
            logLine(std::string("*** Found Fenster Menu Item ") + title);
            t_MenuItemDelete("Fenster", index);
        }
        index = t_MenuItemIndex("Window", title);
        if (index >= 0) {
            logLine(std::string("*** Found Window Menu Item ") + title);
            t_MenuItemDelete("Window", index);
        }
    }
}

}  // namespace kt
