// The mouse wheel: notches turned over a graphic window, counted until the program takes them.
#pragma once

#include <cstdint>

// Whether notches wait: in any graphic window, or in `window`.
bool t_WheelEventAvailable();
bool t_WheelEventAvailable(uint8_t window);
// Takes the notches turned over `window` since the last call: positive away from the user
// (towards the start of what the window shows), negative towards the user; 0 when none wait.
int64_t t_GetWheelLines(uint8_t window);
