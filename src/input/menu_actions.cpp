#include "input/menu_actions.h"

std::vector<t_MenuAction>& t_MenuActions() {
    static std::vector<t_MenuAction> actions = [] {
        std::vector<t_MenuAction> builtIn;
        for (int64_t code = 200; code <= 231; ++code) builtIn.push_back({code, code, "", "", "", "", ""});
        for (int64_t code = 110; code <= 114; ++code) builtIn.push_back({code, code, "", "", "", "", ""});
        return builtIn;
    }();
    return actions;
}
