// The operations on the host's menu items, and the clean-up of what hosts add by themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

int64_t t_MenuItemIndex(const std::string& menuTitle, const std::string& itemTitle);
void t_MenuItemDelete(const std::string& menuTitle, int64_t position);
std::string t_MenuItemTitle(const std::string& menuTitle, int64_t position);
// Enables or greys the items of the menu `menuTitle` named in `items` (title, enabled). The
// program thread calls it without waiting: the change is made on the main thread.
void t_MenuItemsEnable(const std::string& menuTitle, std::vector<std::pair<std::string, bool>> items);
// Index of the menu-bar item with that title, or none.
std::optional<size_t> t_MenuBarItem(const std::string& title);

namespace kt {
constexpr int64_t lastMenuItem = 65535;
// Removes the items that hosts add to the edit and window menus by themselves.
void menuCleanUp();
}  // namespace kt
