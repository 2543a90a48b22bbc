// The application's menu bar as a QMenuBar inside each graphic window.
#pragma once

#include <QKeySequence>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

class QMenuBar;
class QWidget;

namespace host::qt {

using MenuChoice = std::function<void(const std::string& menuTitle, const host::MenuItem& item)>;

// The shortcut of an item: letter with the item's modifiers (shift bit 17, control 18,
// option 19, command 20). Empty when the item has none, and for every combination that
// would take a key the views need: a plain key, Shift with a key, Control with a key.
QKeySequence keySequenceFor(const host::MenuItem& item);

// A menu bar of the given menus; choosing an item calls choose with a copy of the item.
QMenuBar* buildMenuBar(const std::vector<host::Menu>& menus, const MenuChoice& choose, QWidget* parent);
// Enables or greys a bar's items as the menus, which it was built from, say now.
void updateMenuEnabling(QMenuBar* bar, const std::vector<host::Menu>& menus);

}  // namespace host::qt
