#include "terminal/modes.h"

#include "display/glyph.h"
#include "display/window.h"
#include "display/placement.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/print.h"

using kt::checkWindow;
using kt::windowRecord;

namespace {
uint8_t defaultWindow() { return kt::display().defaultWindow.load(); }

// Tab to the next stop of a grid of g columns; past the window's width, a new line.
void gridTab(uint8_t window, int64_t g) {
    t_Window& w = windowRecord(window);
    int64_t stop = (w.TextHpos / g) * g + g + 1;
    int64_t limit = w.TextWidth - w.TextFirstColumn + 1;
    if (stop > limit) {
        t_ClearEndOfLine(window);
        t_Cr(window);
    } else {
        t_PrintTab(window, stop, 32);
    }
}
}  // namespace

void t_Normal(uint8_t window) {
    if (checkWindow("t_Normal", window, false)) windowRecord(window).TextInverse = false;
}
void t_Normal() { t_Normal(defaultWindow()); }

void t_Inverse(uint8_t window) {
    if (checkWindow("t_Inverse", window, false)) windowRecord(window).TextInverse = true;
}
void t_Inverse() { t_Inverse(defaultWindow()); }

void t_Reverse(uint8_t window) {
    if (!checkWindow("t_Reverse", window, false)) return;
    t_Window& w = windowRecord(window);
    w.TextInverse = !w.TextInverse;
}

void t_DisplayMode(uint8_t window, int64_t mode) {
    if (checkWindow("t_DisplayMode", window, false)) windowRecord(window).TextDisplayMode = mode;
}

void t_Color(uint8_t window, uint8_t colour) {
    if (!checkWindow("t_Color", window, false)) return;
    t_Window& w = windowRecord(window);
    w.TextColor = static_cast<uint8_t>((w.TextColor & 0x0F) | ((colour & 0x0F) << 4));
    w.RGBColor = t_PaletteColor(colour & 0x0F);
}

t_DisplayResult t_ApplyDisplayMode(uint8_t window, int64_t c) {
    if (!checkWindow("t_ApplyDisplayMode", window)) return {-2, false, 0xF0};
    t_Window& w = windowRecord(window);
    const bool I = w.TextInverse;
    const uint8_t C = w.TextColor;
    switch (w.TextDisplayMode) {
    case 1: return {c >= 32 && c <= 127 ? c + 128 : c, I, C};
    case 2:
        if (c >= 64 && c <= 95) return {c - 64, I, C};
        if (c >= 96 && c <= 127) return {c + 32, I, C};
        return {c, I, C};
    case 3:
        if (c <= 31) {
            t_Inverse(window);
            return {c + 64, I, C};
        }
        return {c, I, C};
    case 4:
        if (c <= 31) {
            t_Color(window, 1);
            return {c + 64, I, C};
        }
        return {c, I, C};
    case 99: break;
    default: return {c, I, C};
    }
    // An escape sequence: the character after code 27.
    auto done = [&](t_DisplayResult result) {
        w.TextDisplayMode = 0;
        return result;
    };
    if (c >= 64 && c <= 79) return done({-1, I, static_cast<uint8_t>((C & 0x0F) + 16 * (c - 64))});
    if (c >= 80 && c <= 95) return done({-1, I, static_cast<uint8_t>((C & 0xF0) + (c - 80))});
    switch (c) {
    case 'e': t_CursorEnd(window); return done({-1, I, C});
    case 'f': t_Htab(window, w.TextWidth - w.TextFirstColumn + 1); return done({-1, I, C});
    case 'i': gridTab(window, 10); return done({-1, I, C});
    case 'j': gridTab(window, 20); return done({-1, I, C});
    case 'k': gridTab(window, 40); return done({-1, I, C});
    default: break;
    }
    if (c >= 110 && c <= 127) {
        t_ColorBorder(window, static_cast<uint8_t>((c - 110) & 0x0F));
        return done({-1, I, C});
    }
    // Not a sequence: the character is drawn and the escape stays pending.
    return {c, I, C};
}
