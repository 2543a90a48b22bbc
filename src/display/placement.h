// Placement, size, title and visibility of the toolkit's windows in their host windows.
// Callable from any thread: host objects are touched on the main thread only.
#pragma once

#include <cstdint>
#include <string>

int64_t t_WindowPos(uint8_t window, int64_t selector);
int64_t t_WindowPos(int64_t selector);  // the default window
void t_WindowSize(uint8_t window, int64_t x, int64_t y, int64_t width, int64_t height);
void t_WindowTitle(uint8_t window, const std::string& title);
void t_WindowTitleVisible(uint8_t window, bool visible);
void t_WindowVisible(uint8_t window, bool visible);
void t_WindowFront(uint8_t window);
void t_WindowCenter(uint8_t window);
void t_ColorBorder(uint8_t window, uint8_t colour);
// Number of the window that has the focus, 255 when none has.
uint8_t t_MainWindowNumber();

namespace kt {
// Whether the host has a window for this number (for 0 to 7: the window of its view).
bool hostWindowExists(uint8_t window);
}  // namespace kt
