#include "input/mouse.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

#include "app/clock.h"
#include "app/log.h"
#include "app/threads.h"
#include "display/placement.h"
#include "display/window.h"
#include "input/entries.h"

namespace {
// The buttons held: written by the main thread, read by any.
std::atomic<bool> leftDown{false}, rightDown{false};

// Where a point of the host window lies in the drawing area: -1 before it, -2 past it.
std::pair<int64_t, int64_t> drawingAreaPlace(const t_Window& w, int64_t X, int64_t Y) {
    int64_t column = X - w.BorderWidth;
    if (column < 0)
        column = -1;
    else if (column >= w.Width)
        column = -2;
    int64_t line = w.BorderHeight + w.Height - Y;
    if (line < 0)
        line = -1;
    else if (line >= w.Height)
        line = -2;
    return {column, line};
}

// The text cell of a place in the drawing area, counted from 1.
std::pair<int64_t, int64_t> textCell(uint8_t window, int64_t clickX, int64_t clickY) {
    const t_Font& font = kt::windowRecord(window).Font;
    const int64_t column = font.Width ? clickX / font.Width : 0;
    const int64_t line = font.Height ? clickY / font.Height : 0;
    return {column + 1, line + 1};
}

// The latest place a drag has reached in each graphic window, until the program takes it,
// and the text cell of the last place stored since the press: moves within one cell are
// not news.
struct Drags {
    std::mutex lock;
    std::array<std::optional<std::pair<int64_t, int64_t>>, kt::graphicWindowCount> place{};
    std::array<std::pair<int64_t, int64_t>, kt::graphicWindowCount> cell{};
    std::atomic<bool> available{false};
    void update() {
        bool any = false;
        for (const auto& p : place) any = any || p.has_value();
        available.store(any, std::memory_order_release);
    }
};

Drags& drags() {
    static auto* made = new Drags;  // lives as long as the threads that use it
    return *made;
}

void forgetDrag(uint8_t window) {
    Drags& d = drags();
    std::lock_guard guard(d.lock);
    d.place[window].reset();
    d.cell[window] = {-1, -1};
    d.update();
}
}  // namespace

bool t_MouseEventAvailable() { return kt::mouseQueue().available(); }
std::vector<t_Event> t_MouseEventQueue() { return kt::mouseQueue().snapshot(); }
t_Event t_LastMouseEvent() { return kt::mouseQueue().lastTaken(); }
bool t_LeftMouseDown() { return leftDown.load(); }
bool t_RightMouseDown() { return rightDown.load(); }

std::function<void()>& t_ProgramMouseHandler() {
    static std::function<void()> handler = [] {};
    return handler;
}

void t_MouseEventHandler(uint8_t window, const host::MouseEvent& event, double x, double y) {
    const auto X = static_cast<int64_t>(x), Y = static_cast<int64_t>(y);
    int64_t column = -3, line = -3;
    std::string where;
    if (window >= kt::graphicWindowCount) {
        kt::logLine("t_MouseEventHandler: Unknown window, AbsX = " + std::to_string(X) + ", AbsY = " +
                    std::to_string(Y));
    } else if (!kt::memoryReady() || !kt::windowRecord(window).Initialized) {
        kt::logLine("t_MouseEventHandler: Window #" + std::to_string(window) + " not initialized.");
    } else {
        std::tie(column, line) = drawingAreaPlace(kt::windowRecord(window), X, Y);
        t_Event e;
        e.Kind = 2;
        e.Index = static_cast<int64_t>(event.buttons);
        e.WindowX = X;
        e.WindowY = Y;
        e.ClickX = column;
        e.ClickY = line;
        kt::applyModifiers(e, event.modifierFlags);
        e.Window = window;
        e.Time = kt::milliseconds();
        kt::mouseQueue().append(std::move(e));
        where = "Graphic #" + std::to_string(window);
    }
    kt::logLine("t_MouseEventHandler: " + where + " window, X = " + std::to_string(column) + ", Y = " +
                std::to_string(line));
    startasyncprocess([] {
        if (kt::threadNumber() >= 3) kt::nameThread("t_EventMouse");
        t_ProgramMouseHandler()();
    });
    kt::logLine("t_MouseEventHandler: Calling program mouse handler asynchronously.");
}

std::pair<int64_t, int64_t> t_GetMouseText(uint8_t window) {
    if (!kt::checkWindow("t_GetMouseText", window)) return {-1, -1};
    auto& queue = kt::mouseQueue();
    t_Event event;
    if (!queue.takeFirst([&](const t_Event& e) { return e.Window == window; }, event)) return {-1, -1};
    return textCell(window, event.ClickX, event.ClickY);
}

bool t_MouseDragAvailable() { return drags().available.load(std::memory_order_acquire); }

bool t_MouseDragAvailable(uint8_t window) {
    if (window >= kt::graphicWindowCount || !drags().available.load(std::memory_order_acquire)) return false;
    // A drag follows its press: while the press waits in the queue, so does the drag.
    if (kt::mouseQueue().holds([window](const t_Event& e) { return e.Window == window; })) return false;
    std::lock_guard guard(drags().lock);
    return drags().place[window].has_value();
}

std::pair<int64_t, int64_t> t_GetMouseDragText(uint8_t window) {
    if (!kt::checkWindow("t_GetMouseDragText", window)) return {-1, -1};
    std::optional<std::pair<int64_t, int64_t>> place;
    {
        Drags& d = drags();
        std::lock_guard guard(d.lock);
        place.swap(d.place[window]);
        d.update();
    }
    if (!place) return {-1, -1};
    return textCell(window, place->first, place->second);
}

host::MouseEvent kt::cellPoint(uint8_t window, int64_t column, int64_t line) {
    const t_Window& w = kt::windowRecord(window);
    host::MouseEvent event;
    event.x = static_cast<double>(w.BorderWidth + (column - 1) * w.Font.Width + w.Font.Width / 2);
    event.y = static_cast<double>(w.BorderHeight + w.Height - ((line - 1) * w.Font.Height + w.Font.Height / 2));
    event.buttons = 1;
    return event;
}

void t_MouseEventPostCloseBoxClick(uint8_t window) {
    t_WindowVisible(window, false);
    kt::logLine("t_MouseEventPostCloseBoxClick: Window = " + std::to_string(window));
}

void viewMouseDown(uint8_t window, const host::MouseEvent& event, bool right) {
    // What is left of an earlier drag belongs to the press before this one.
    if (window < kt::graphicWindowCount) forgetDrag(window);
    if (kt::memoryReady() && window < kt::graphicWindowCount) {
        const t_Window& w = kt::windowRecord(window);
        if (!w.Initialized)
            kt::logLine("viewMouseDown: Graphic window (" + std::to_string(window) + ") not initialized.");
        else if (!w.IgnoreEvents)
            t_MouseEventHandler(window, event, event.x, event.y);
    }
    leftDown = !right;
    rightDown = right;
}

void viewMouseDragged(uint8_t window, const host::MouseEvent& event) {
    if (!kt::memoryReady() || window >= kt::graphicWindowCount || !(leftDown || rightDown)) return;
    const t_Window& w = kt::windowRecord(window);
    if (!w.Initialized || w.IgnoreEvents) return;
    // A drag beyond the drawing area reaches its edge (the button held, the host goes on
    // reporting moves outside the window).
    const std::pair<int64_t, int64_t> place{
        std::clamp<int64_t>(static_cast<int64_t>(event.x) - w.BorderWidth, 0, std::max<int64_t>(w.Width - 1, 0)),
        std::clamp<int64_t>(w.BorderHeight + w.Height - static_cast<int64_t>(event.y), 0,
                            std::max<int64_t>(w.Height - 1, 0))};
    const auto cell = textCell(window, place.first, place.second);
    Drags& d = drags();
    {
        std::lock_guard guard(d.lock);
        if (d.cell[window] == cell) return;
        d.cell[window] = cell;
        d.place[window] = place;
        d.update();
    }
    kt::wakeWaiting();
}

void viewMouseUp(uint8_t) {
    leftDown = false;
    rightDown = false;
}

bool windowShouldClose(int window) {
    if (window >= 0 && window <= 12) t_MouseEventPostCloseBoxClick(static_cast<uint8_t>(window));
    return false;
}
