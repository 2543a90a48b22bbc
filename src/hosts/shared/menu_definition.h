// The application's menu bar, shared by every host: German menus whose item tags select
// the toolkit's menu actions, or the hosts' own commands.
#pragma once

#include <vector>

#include "platform/platform.h"

namespace host {

// Tags the hosts carry out themselves instead of handing them to the toolkit: quitting and
// the help window are the host's; the others stand for the editor's own commands (see
// host/requests.h).
constexpr int64_t quitMenuTag = -1;
constexpr int64_t helpMenuTag = -2;
constexpr int64_t aboutMenuTag = -3;
constexpr int64_t newMenuTag = -4;
constexpr int64_t openMenuTag = -5;
constexpr int64_t saveAsMenuTag = -6;
constexpr int64_t undoMenuTag = -7;
constexpr int64_t redoMenuTag = -8;
constexpr int64_t saveMenuTag = -9;
// The edit menu's items for ranges of bytes.
constexpr int64_t markMenuTag = -21;
constexpr int64_t selectAllMenuTag = -22;
constexpr int64_t cutMenuTag = -23;
constexpr int64_t copyHexMenuTag = -24;
constexpr int64_t copyTextMenuTag = -25;
constexpr int64_t pasteMenuTag = -26;
constexpr int64_t deleteMenuTag = -27;
constexpr int64_t fillMenuTag = -28;
// "Fenster ▸ Werte": the values view, Alt+W.
constexpr int64_t valuesMenuTag = -20;

std::vector<Menu> menuDefinition();

// The item of the menu titled `menu` titled `item`; nullptr when there is none.
const MenuItem* findMenuItem(const std::vector<Menu>& menus, const std::string& menu, const std::string& item);

}  // namespace host
