// The application's menu bar, shared by every host: German menus whose item tags select
// the toolkit's menu actions.
#pragma once

#include <vector>

#include "host/host.h"

namespace host {

// Tags the hosts handle themselves instead of handing them to the toolkit.
constexpr int64_t quitMenuTag = -1;

std::vector<Menu> menuDefinition();

}  // namespace host
