// Turning a window's pixel memory into a picture, and the refresh of the host views.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"

// The picture of graphic window `window` (0 to 7): Width × Height pixels, rows from the
// top. Nothing for a window that is not initialised or not shown.
std::optional<host::Image> t_WindowImage(uint8_t window);
// The same into a picture the caller keeps, so that a view redraws without allocating.
// False when there is no picture.
bool t_WindowImage(uint8_t window, host::Image& into);

// Asks the window's host view to redraw: in its next drawing cycle (deferred) or at once.
void t_WindowUpdate(uint8_t window, bool deferred);

// The body of the update thread: marks each window's view at the window's refresh rate.
void t_WindowAutoUpdateProcess();

namespace kt {

// Called whenever the pixel memory of a window changes, so that views can tell a picture
// that would come out the same as their last one.
void touchWindow(uint8_t window);
uint64_t windowGeneration(uint8_t window);

// What a graphic window's view does when the host redraws it: the picture into `into`
// (kept by the view between redraws, rebuilt only when the memory changed). Window 0's
// view lowers VerticalBlank while it reads the memory. False when there is nothing to show.
bool viewRedraw(int window, host::Image& into, uint64_t& generation);
// Whether the view shows its picture as layer content (the quick path).
bool viewWantsUpdateLayer(int window);

}  // namespace kt
