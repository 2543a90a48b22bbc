// What the hosts hand the program on the user's behalf: files named on the command line, and
// the menu items that stand for the editor's own commands, given to it as the keys and file
// events it already understands.
#pragma once

#include <cstdint>
#include <string>

namespace host {

// The request a file named on the command line makes (input/file_events.h): a name that
// does not exist yet, in a folder that does, starts a new file; anything else is opened.
int64_t commandLineRequest(const std::string& path);

// A key typed in graphic window `window`: its value as the key table gives it (a control
// letter, Backspace) with the host's modifier flags. Main thread.
void sendProgramKey(int window, int64_t value, uint64_t flags);

// Carries out the menu item of `tag` when it is one of the editor's commands, and tells
// whether it was: "Neu" is ^X (close, asking to save, leaving an empty buffer), "Sichern" ^S,
// "Über Ostrakonix" ^Ü, "Widerrufen" Alt+Backspace, "Wiederholen" Shift+Alt+Backspace, the
// items for ranges of bytes their Alt keys and "Werte" Alt+W, all typed in `window`; "Öffnen …"
// runs the open panel and hands the path chosen to the program as a file event; "Sichern
// unter …" is a file event to save without a path, for which the program runs the save panel
// itself, offering its file's name. Main thread.
bool carryOutProgramCommand(int64_t tag, int window);

}  // namespace host
