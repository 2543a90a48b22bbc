#include "display/image.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/clock.h"
#include "app/log.h"
#include "app/threads.h"
#include "display/glyph.h"
#include "display/window.h"

namespace kt {
namespace {
std::array<std::atomic<uint64_t>, graphicWindowCount> generations{};

inline uint32_t argb(uint8_t r, uint8_t g, uint8_t b) {
    return 0xFF000000u | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

uint32_t paletteArgb(int number) {
    const auto& e = t_Palette()[number & 15];
    return argb(e.Red, e.Green, e.Blue);
}

// What a picture is made from, read once: the program thread may set the window up anew
// while a view converts it.
struct Geometry {
    int64_t memoryStart, width, height, bitDepth;
};

// One load of a field that another thread may change meanwhile (never re-read later).
int64_t readOnce(const int64_t& field) { return *static_cast<const volatile int64_t*>(&field); }

// The bytes of video memory a picture of this geometry reads.
int64_t bytesRead(const Geometry& g) {
    const int64_t pixels = g.width * g.height;
    switch (g.bitDepth) {
    case 1: return (pixels + 7) / 8;
    case 4: return (pixels + 1) / 2;
    case 8:
    case 16:
    case 24:
    case 32: return pixels * (g.bitDepth / 8);
    default: return 0;
    }
}

void convert(const Geometry& g, uint32_t* out) {
    const uint8_t* m = display().memory.data() + g.memoryStart;
    const int64_t width = g.width, height = g.height;
    switch (g.bitDepth) {
    case 1: {
        const uint32_t white = paletteArgb(15), black = paletteArgb(0);
        for (int64_t i = 0, n = width * height; i < n; ++i) out[i] = (m[i / 8] >> (7 - i % 8)) & 1 ? white : black;
        break;
    }
    case 4: {
        uint32_t colours[16];
        for (int k = 0; k < 16; ++k) colours[k] = paletteArgb(k);
        for (int64_t i = 0, n = width * height; i < n; ++i) {
            uint8_t byte = m[i / 2];
            out[i] = colours[(i % 2 == 0) ? byte >> 4 : byte & 15];
        }
        break;
    }
    case 8:
        for (int64_t i = 0, n = width * height; i < n; ++i) out[i] = argb(m[i], m[i], m[i]);
        break;
    case 16:
        for (int64_t i = 0, n = width * height; i < n; ++i) out[i] = argb(m[2 * i + 1], m[2 * i + 1], m[2 * i + 1]);
        break;
    case 24:
        for (int64_t i = 0, n = width * height; i < n; ++i, m += 3) out[i] = argb(m[0], m[1], m[2]);
        break;
    case 32:
        for (int64_t i = 0, n = width * height; i < n; ++i, m += 4) out[i] = argb(m[1], m[2], m[3]);
        break;
    default:
        // A depth that no set-up stores: the picture stays black.
        for (int64_t i = 0, n = width * height; i < n; ++i) out[i] = argb(0, 0, 0);
        break;
    }
}

bool hostHasView(int window) {
    bool has = false;
    host::host().runOnMainSync([&] { has = host::host().hasView(window); });
    return has;
}

}  // namespace

void touchWindow(uint8_t window) {
    if (window < graphicWindowCount) generations[window].fetch_add(1, std::memory_order_release);
}

uint64_t windowGeneration(uint8_t window) { return generations[window].load(std::memory_order_acquire); }

bool viewWantsUpdateLayer(int window) {
    if (window < 0 || window >= graphicWindowCount || !memoryReady()) return false;
    const t_Window& w = windowRecord(static_cast<uint8_t>(window));
    return w.Initialized && w.QuickUpdate;
}

bool viewRedraw(int window, host::Image& into, uint64_t& generation) {
    if (window < 0 || window >= graphicWindowCount || !memoryReady()) return false;
    auto n = static_cast<uint8_t>(window);
    t_Window& w = windowRecord(n);
    uint64_t now = windowGeneration(n);
    // The memory is unchanged since the last picture: it would come out the same.
    if (generation == now && w.Initialized && w.Visible && into.width == w.Width && into.height == w.Height &&
        !into.pixels.empty())
        return true;
    if (n == 0) w.VerticalBlank = false;
    bool ok = t_WindowImage(n, into);
    if (n == 0) w.VerticalBlank = true;
    if (ok) generation = now;
    return ok;
}

}  // namespace kt

bool t_WindowImage(uint8_t window, host::Image& into) {
    if (!kt::memoryReady() || window >= kt::graphicWindowCount) return false;
    t_Window& w = kt::windowRecord(window);
    if (!w.Initialized) {
        kt::logLine("t_WindowImage: Graphic window #" + std::to_string(window) + " not initialized.");
        return false;
    }
    if (!w.Visible) return false;
    if (w.BitDepth != 1 && w.BitDepth != 4 && w.BitDepth != 8 && w.BitDepth != 16 && w.BitDepth != 24 &&
        w.BitDepth != 32)
        kt::logLine("t_WindowImage: Illegal bit depth.");
    int64_t start = kt::microseconds();
    const kt::Geometry g{kt::readOnce(w.MemoryStart), kt::readOnce(w.Width), kt::readOnce(w.Height),
                        kt::readOnce(w.BitDepth)};
    // A window caught in the middle of a new set-up can name pixels beyond the memory: no
    // picture this time, the next one is made once the set-up is done.
    const auto memorySize = static_cast<int64_t>(kt::display().memory.size());
    if (g.memoryStart < 0 || g.width < 0 || g.height < 0 || g.width > 8192 || g.height > 8192 ||
        g.memoryStart + kt::bytesRead(g) > memorySize)
        return false;
    into.width = static_cast<int>(g.width);
    into.height = static_cast<int>(g.height);
    into.pixels.resize(static_cast<size_t>(g.width * g.height));
    if (!into.pixels.empty()) kt::convert(g, into.pixels.data());
    w.UpdateDuration = kt::microseconds() - start;
    w.UpdateFinished = kt::milliseconds();
    return true;
}

std::optional<host::Image> t_WindowImage(uint8_t window) {
    host::Image image;
    if (!t_WindowImage(window, image)) return std::nullopt;
    return image;
}

void t_WindowUpdate(uint8_t window, bool deferred) {
    if (!kt::memoryReady()) return;
    if (window >= kt::graphicWindowCount) {
        kt::logLine("t_WindowUpdate: Window is not a graphic window.");
        return;
    }
    host::host().runOnMainSync([&] {
        if (!host::host().hasView(window)) {
            kt::logLine("t_WindowUpdate: Window #" + std::to_string(window) + " view is nil, resource undefined.");
            return;
        }
        if (deferred)
            host::host().setNeedsDisplay(window);
        else
            host::host().displayNow(window);
    });
}

void t_WindowAutoUpdateProcess() {
    using namespace std::chrono_literals;
    kt::Display& d = kt::display();
    kt::logLine("t_WindowAutoUpdateProcess: Start.");
    if (kt::threadNumber() >= 3) kt::nameThread("t_WindowAutoUpdate");
    d.updateThreadRunning = true;
    std::array<bool, kt::graphicWindowCount> marked{};
    std::array<uint64_t, kt::graphicWindowCount> markedGeneration{};
    while (kt::memoryReady() && d.updateThreadRunning) {
        bool asked = false;
        // The wait until the next window is due, so that an idle program costs next to nothing:
        // at most 10 ms, so that a window set up meanwhile is picked up soon.
        int64_t wait = 10;
        for (uint8_t n = 0; n < kt::graphicWindowCount; ++n) {
            t_Window& w = kt::windowRecord(n);
            if (!w.Initialized || !w.AutoUpdate) continue;
            if (!w.VerticalBlank) {
                wait = 1;  // its view is reading the memory: look again soon
                continue;
            }
            int64_t interval = w.RefreshRate > 0 ? 1000 / w.RefreshRate : 0;
            int64_t now = kt::milliseconds();
            if (now - w.UpdateStarted < interval) {
                wait = std::min(wait, std::max<int64_t>(1, interval - (now - w.UpdateStarted)));
                continue;
            }
            if (!kt::hostHasView(n)) {
                kt::logLine("t_WindowAutoUpdateProcess: Window #" + std::to_string(n) +
                            " view is nil, resource undefined.");
                continue;
            }
            w.UpdateStarted = now;
            // A window whose pixels are as they were at its last mark would show the same
            // picture again: its view is left alone, which keeps an idle program cheap.
            const uint64_t generation = kt::windowGeneration(n);
            if (marked[n] && markedGeneration[n] == generation) continue;
            marked[n] = true;
            markedGeneration[n] = generation;
            host::host().runOnMainSync([n] { host::host().setNeedsDisplay(n); });
            asked = true;
        }
        if (!asked) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    d.updateThreadRunning = false;
    kt::logLine("t_WindowAutoUpdateProcess: End.");
}
