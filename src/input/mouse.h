// Mouse events: presses in graphic windows, their queue and the text cell of a click.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "input/events.h"

bool t_MouseEventAvailable();
std::vector<t_Event> t_MouseEventQueue();
t_Event t_LastMouseEvent();
bool t_LeftMouseDown();
bool t_RightMouseDown();
// The program's mouse handler, run on a worker after every press.
std::function<void()>& t_ProgramMouseHandler();

void t_MouseEventHandler(uint8_t window, const host::MouseEvent& event, double x, double y);
// Takes the oldest click of `window` and returns its text column and line (from 1);
// (−1, −1) when there is none.
std::pair<int64_t, int64_t> t_GetMouseText(uint8_t window);
void t_MouseEventPostCloseBoxClick(uint8_t window);

// Drags: the mouse moved with a button held since a press in graphic window `window`. Only
// the latest place counts (a drag selects up to where it is now); a new press forgets what
// was left of the drag before it. No event is queued and the press's record stays as it was.
bool t_MouseDragAvailable(uint8_t window);
bool t_MouseDragAvailable();  // in any graphic window
// Takes the place the drag in `window` has reached as a text column and line (from 1), as
// t_GetMouseText does for a press; (−1, −1) when there is none.
std::pair<int64_t, int64_t> t_GetMouseDragText(uint8_t window);

namespace kt {
// The middle of a text cell (column and line from 1) of graphic window `window`, in the
// window's points from its bottom left: where a left press there on the desktop lands. For
// hosts that point at cells rather than pixels.
host::MouseEvent cellPoint(uint8_t window, int64_t column, int64_t line);
}  // namespace kt
