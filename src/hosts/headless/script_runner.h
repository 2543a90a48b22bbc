// Runs a script of steps against a program on the headless host: keys, typed text, clicks and
// drags, menu items, opened files, pasteboard text (given and printed), and checks of the
// screen, the title and the picture.
#pragma once

#include <cstdio>
#include <string>

#include "hosts/headless/headless_host.h"

namespace host {

// Runs the script at `path` once the program has started; each key, click or open waits
// until the program is idle again. Returns 0 when every expectation held, 1 when one did
// not (or the program stopped answering), 2 when the script itself is wrong. Output of the
// screen, title and messages goes to `out`.
int runScript(HeadlessHost& host, const std::string& path, std::FILE* out);

// The key press a script names ("^U", "21", "Esc", "F1", …), also with modifier prefixes
// ("Alt+Backspace", "Ctrl+Shift+O"); false for an unknown name.
bool scriptKey(const std::string& name, KeyEvent& event);

}  // namespace host
