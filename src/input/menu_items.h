// The table of menu actions and the operations on the host's menu items.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"

struct t_MenuAction {
    int64_t Tag = 0;
    int64_t Action = 0;
    std::string Title;
    std::string Note;
    std::string FileName;
    std::string FileTypes;
    std::string FilePath;
};

std::vector<t_MenuAction>& t_MenuActions();

int64_t t_MenuItemIndex(const std::string& menuTitle, const std::string& itemTitle);
void t_MenuItemDelete(const std::string& menuTitle, int64_t position);
std::string t_MenuItemTitle(const std::string& menuTitle, int64_t position);
// Index of the menu-bar item with that title, or none.
std::optional<size_t> t_MenuBarItem(const std::string& title);

namespace kt {
constexpr int64_t lastMenuItem = 65535;
void registerBuiltInMenuActions();
// Removes the items that hosts add to the edit and window menus by themselves.
void menuCleanUp();
}  // namespace kt
