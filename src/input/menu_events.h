// Menu choices: the built-in menu actions, the menu event queue's producer and the
// program's menu handlers. t_MenuEventHandler itself is declared with the other entries in
// app/entries.h.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Run on a worker of its own for every choice that no built-in action handles.
std::function<void()>& t_ProgramMenuHandler();
// Run by action 113 when a graphic window has the focus; plays the alert until replaced.
std::function<void()>& t_ProgramAction113();

// A screen's text (UTF-8 of the cells' codes) with the toolkit's graphic characters turned
// into look-alikes that every font has.
std::string t_ScreenTextForPasteboard(const std::string& text);

namespace kt {
// The text buffers of the virtual printer (9) and the system console (10); emptied with
// their text views. Main thread only.
std::vector<std::string>& printerBuffer();
std::vector<std::string>& consoleBuffer();
}  // namespace kt
