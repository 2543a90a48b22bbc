// The toolkit's entries: what the hosts call, on their main thread, when the platform
// reports something. Nothing here may block for long.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// A key press, a key release and a change of the modifier keys in graphic window `window`.
void viewKeyDown(uint8_t window, const host::KeyEvent& event);
void viewKeyUp(uint8_t window);
void viewFlagsChanged(uint8_t window, uint64_t modifierFlags);
// A press and a release of a mouse button in graphic window `window`.
void viewMouseDown(uint8_t window, const host::MouseEvent& event, bool right);
void viewMouseUp(uint8_t window);
// The mouse moved with a button held after a press in graphic window `window`.
void viewMouseDragged(uint8_t window, const host::MouseEvent& event);
// The mouse wheel turned over graphic window `window` by `lines` notches: positive away from
// the user (up), negative towards the user (down).
void viewScrollWheel(uint8_t window, int64_t lines);
// The close box of a host window was clicked; the toolkit hides the window itself, so the
// host never closes it (the answer is always false).
bool windowShouldClose(int window);
// A menu item was chosen.
void t_MenuEventHandler(const std::string& menuTitle, const host::MenuItem& item);
// The desktop asks to open a file.
void f_FileEventHandler(const std::string& path, int64_t type);
