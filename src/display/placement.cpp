#include "display/placement.h"

#include "app/log.h"
#include "app/startup.h"
#include "display/glyph.h"
#include "display/window.h"
#include "platform/platform.h"

namespace {

host::Host& h() { return host::host(); }

template <typename Fn>
void onMain(Fn&& fn) {
    h().runOnMainSync(std::forward<Fn>(fn));
}

bool exists(uint8_t window) {
    bool found = false;
    onMain([&] { found = window < 8 ? h().hasView(window) && h().hasWindow(window) : h().hasWindow(window); });
    return found;
}

bool missing(uint8_t window, const char* operation) {
    if (window <= 12 && exists(window)) return false;
    kt::logLine(std::string(operation) + ": Window does not exist.");
    return true;
}

}  // namespace

namespace kt {
bool hostWindowExists(uint8_t window) { return window <= 12 && exists(window); }
}  // namespace kt

int64_t t_WindowPos(uint8_t window, int64_t selector) {
    if (missing(window, "t_WindowPos")) return 0;
    host::Rect frame;
    host::Size screen;
    onMain([&] {
        frame = h().windowFrame(window);
        screen = h().screenSize(window);
    });
    const auto title = t_TitleBarHeight();
    const bool fromRecord = window < kt::graphicWindowCount && kt::memoryReady();
    const auto x = static_cast<int64_t>(frame.x), y = static_cast<int64_t>(frame.y);
    if (fromRecord) {
        const t_Window& r = kt::windowRecord(window);
        const int64_t w = r.Width + 2 * r.BorderWidth, hh = r.Height + 2 * r.BorderHeight + r.TitleHeight;
        switch (selector) {
        case 0: return r.TextFirstColumn;
        case 1: return r.TextFirstLine;
        case 2: return r.TextLastColumn;
        case 3: return r.TextLastLine;
        case 4: return r.TextLastColumn - r.TextFirstColumn + 1;
        case 5: return r.TextLastLine - r.TextFirstLine + 1;
        case 6: return r.TextWidth;
        case 7: return r.TextHeight;
        case 8: return w - 2 * r.BorderWidth;
        case 9: return hh - (r.TitleHeight + 2 * r.BorderHeight);
        case 10: return w;
        case 11: return hh - r.TitleHeight;
        case 12: return hh;
        case 13: return x;
        case 14: return static_cast<int64_t>(screen.height) - y - hh;
        case 15: return static_cast<int64_t>(screen.width);
        case 16: return static_cast<int64_t>(screen.height);
        case 17: return r.TitleHeight;
        case 18: return r.BorderWidth;
        case 19: return r.BorderHeight;
        case 20: return y;
        default: return 0;
        }
    }
    const auto w = static_cast<int64_t>(frame.width), hh = static_cast<int64_t>(frame.height);
    // Before the memory exists a graphic window has no text grid.
    if (window < kt::graphicWindowCount && selector >= 0 && selector <= 7) return 0;
    switch (selector) {
    case 0:
    case 1: return 0;
    case 2: return w - 1;
    case 3: return hh - 1;
    case 4:
    case 6:
    case 8:
    case 10: return w;
    case 5:
    case 7:
    case 12: return hh;
    case 9:
    case 11: return hh - title;
    case 13: return x;
    case 14: return static_cast<int64_t>(screen.height) - y - hh;
    case 15: return static_cast<int64_t>(screen.width);
    case 16: return static_cast<int64_t>(screen.height);
    case 17: return title;
    case 20: return y;
    default: return 0;
    }
}

int64_t t_WindowPos(int64_t selector) { return t_WindowPos(kt::display().defaultWindow.load(), selector); }

void t_WindowSize(uint8_t window, int64_t x, int64_t y, int64_t width, int64_t height) {
    if (missing(window, "t_WindowSize")) return;
    if (x == -1) x = t_WindowPos(window, 13);
    if (y == -1) y = t_WindowPos(window, 20);
    if (width == -1) width = t_WindowPos(window, 8);
    if (height == -1) height = t_WindowPos(window, 9);
    const double title = static_cast<double>(t_TitleBarHeight());
    if (window < kt::graphicWindowCount) {
        if (!kt::memoryReady() || !kt::windowRecord(window).Initialized) {
            kt::logLine("t_WindowSize: Window #" + std::to_string(window) + " not initialized.");
            return;
        }
        const t_Window& r = kt::windowRecord(window);
        host::Rect frame{double(x), double(y), double(width + 2 * r.BorderWidth),
                         double(height + r.TitleHeight + 2 * r.BorderHeight)};
        host::Rect view{double(r.BorderWidth), double(r.BorderHeight), double(width), double(height)};
        onMain([&] {
            h().setWindowFrame(window, frame);
            h().setViewFrame(window, view);
        });
        return;
    }
    onMain([&] {
        if (window <= 10 && h().windowShown(window)) h().orderFront(window);
        h().setWindowFrame(window, {double(x), double(y), double(width), double(height) + title});
    });
}

void t_WindowTitle(uint8_t window, const std::string& title) {
    if (missing(window, "t_WindowTitle")) return;
    // The caller does not wait for the title to change.
    if (h().isMainThread())
        h().setWindowTitle(window, title);
    else
        h().runOnMainAsync([window, title] { host::host().setWindowTitle(window, title); });
}

void t_WindowTitleVisible(uint8_t window, bool visible) {
    if (missing(window, "t_WindowTitleVisible")) return;
    if (window < kt::graphicWindowCount && kt::memoryReady())
        kt::windowRecord(window).TitleHeight = visible ? t_TitleBarHeight() : 0;
    onMain([&] { h().setWindowTitled(window, visible); });
}

void t_WindowVisible(uint8_t window, bool visible) {
    if (missing(window, "t_WindowVisible")) return;
    if (window >= 8 && window <= 10) {
        static const char* names[] = {"Pasteboard window", "Virtual printer window", "System console window"};
        bool hasText = false;
        onMain([&] { hasText = h().hasTextView(window); });
        if (!hasText) {
            kt::logLine(std::string("t_WindowVisible: ") + names[window - 8] + " is nil, resource undefined.");
            h().playAlert();
            return;
        }
        onMain([&] {
            if (!visible) {
                h().orderOut(window);
                return;
            }
            // The pasteboard window shows what the pasteboard holds now.
            if (window == 8) h().setTextViewText(8, h().pasteboardText().value_or(""));
            h().orderFront(window);
        });
        return;
    }
    if (window < kt::graphicWindowCount && kt::memoryReady()) kt::windowRecord(window).Visible = visible;
    onMain([&] {
        if (visible)
            h().orderFront(window);
        else
            h().orderOut(window);
    });
}

void t_WindowFront(uint8_t window) {
    if (missing(window, "t_WindowFront")) return;
    t_WindowVisible(window, true);
    onMain([&] {
        h().makeKey(window);
        h().orderFront(window);
    });
}

void t_WindowCenter(uint8_t window) {
    if (missing(window, "t_WindowCenter")) return;
    onMain([&] { h().centerWindow(window); });
}

void t_ColorBorder(uint8_t window, uint8_t colour) {
    if (window >= kt::graphicWindowCount) {
        kt::logLine("t_ColorBorder: Window is not a graphic window.");
        return;
    }
    if (!kt::memoryReady() || !kt::windowRecord(window).Initialized) {
        kt::logLine("t_ColorBorder: Window #" + std::to_string(window) + " not initialized.");
        return;
    }
    t_RGBColor c = t_PaletteColor(colour & 15);
    kt::windowRecord(window).RGBColorBorder = c;
    host::Color background{c.Red / 255.0, c.Green / 255.0, c.Blue / 255.0, c.Alpha / 255.0};
    onMain([&] { h().setWindowBackground(window, background); });
}

uint8_t t_MainWindowNumber() {
    int number = 255;
    onMain([&] { number = h().mainWindowNumber(); });
    return static_cast<uint8_t>(number >= 0 && number <= 12 ? number : 255);
}
