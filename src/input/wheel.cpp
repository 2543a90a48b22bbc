#include "input/wheel.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>

#include "display/window.h"
#include "input/entries.h"
#include "input/events.h"

namespace {

// A fling on a touchpad may turn many notches at once: more than a screenful waiting is no
// use to anybody, and a bound keeps the program's catching up short.
constexpr int64_t mostWaiting = 1000;

struct Notches {
    std::mutex lock;
    std::array<int64_t, kt::graphicWindowCount> lines{};
    std::atomic<bool> available{false};
};

Notches& notches() {
    static auto* counts = new Notches;  // lives as long as the threads that use it
    return *counts;
}

}  // namespace

void viewScrollWheel(uint8_t window, int64_t lines) {
    if (lines == 0 || window >= kt::graphicWindowCount || !kt::memoryReady()) return;
    const t_Window& w = kt::windowRecord(window);
    if (!w.Initialized || w.IgnoreEvents) return;
    Notches& n = notches();
    {
        std::lock_guard guard(n.lock);
        int64_t& waiting = n.lines[window];
        waiting = std::clamp(waiting + std::clamp(lines, -mostWaiting, mostWaiting), -mostWaiting, mostWaiting);
        bool any = false;
        for (int64_t count : n.lines) any = any || count != 0;
        n.available.store(any, std::memory_order_release);
    }
    kt::wakeWaiting();
}

bool t_WheelEventAvailable() { return notches().available.load(std::memory_order_acquire); }

bool t_WheelEventAvailable(uint8_t window) {
    if (window >= kt::graphicWindowCount || !t_WheelEventAvailable()) return false;
    Notches& n = notches();
    std::lock_guard guard(n.lock);
    return n.lines[window] != 0;
}

int64_t t_GetWheelLines(uint8_t window) {
    if (window >= kt::graphicWindowCount) return 0;
    Notches& n = notches();
    std::lock_guard guard(n.lock);
    const int64_t lines = n.lines[window];
    n.lines[window] = 0;
    bool any = false;
    for (int64_t count : n.lines) any = any || count != 0;
    n.available.store(any, std::memory_order_release);
    return lines;
}
