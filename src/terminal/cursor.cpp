#include "terminal/cursor.h"

#include "display/window.h"
#include "terminal/area.h"

using kt::checkWindow;
using kt::windowRecord;

namespace {
uint8_t defaultWindow() { return kt::display().defaultWindow.load(); }
}  // namespace

void t_CursorRight(uint8_t window) {
    if (!checkWindow("t_CursorRight", window)) return;
    t_Window& w = windowRecord(window);
    if (++w.TextHpos > w.TextLastColumn) t_Cr(window);
}

void t_CursorLeft(uint8_t window) {
    if (!checkWindow("t_CursorLeft", window)) return;
    t_Window& w = windowRecord(window);
    if (--w.TextHpos < w.TextFirstColumn) {
        w.TextHpos = w.TextLastColumn;
        t_CursorUp(window);
    }
}

void t_CursorDown(uint8_t window) {
    if (!checkWindow("t_CursorDown", window)) return;
    t_Window& w = windowRecord(window);
    if (++w.TextVpos > w.TextLastLine) {
        t_ScrollUp(window);
        --w.TextVpos;
    }
}

void t_CursorUp(uint8_t window) {
    if (!checkWindow("t_CursorUp", window)) return;
    t_Window& w = windowRecord(window);
    if (--w.TextVpos < w.TextFirstLine) {
        t_ScrollDown(window);
        ++w.TextVpos;
    }
}

void t_CursorHome(uint8_t window) {
    if (!checkWindow("t_CursorHome", window)) return;
    t_Window& w = windowRecord(window);
    w.TextHpos = w.TextFirstColumn;
    w.TextVpos = w.TextFirstLine;
}

void t_CursorEnd(uint8_t window) {
    if (!checkWindow("t_CursorEnd", window)) return;
    t_Window& w = windowRecord(window);
    w.TextHpos = w.TextLastColumn;
    w.TextVpos = w.TextLastLine;
}

void t_Cr(uint8_t window) {
    if (!checkWindow("t_Cr", window)) return;
    t_Window& w = windowRecord(window);
    w.TextHpos = w.TextFirstColumn;
    if (++w.TextVpos > w.TextLastLine) {
        t_ScrollUp(window);
        --w.TextVpos;
    }
}

void t_Cr() { t_Cr(defaultWindow()); }

void t_Htab(uint8_t window, int64_t column) {
    if (!checkWindow("t_Htab", window)) return;
    t_Window& w = windowRecord(window);
    if (column < 1) return;
    // Limited by the window's width, not the area: the cursor may stand right of the area.
    int64_t p = w.TextFirstColumn + column - 1;
    if (p <= w.TextWidth) w.TextHpos = p;
}

void t_Htab(int64_t column) { t_Htab(defaultWindow(), column); }

void t_Vtab(uint8_t window, int64_t line) {
    if (!checkWindow("t_Vtab", window)) return;
    t_Window& w = windowRecord(window);
    if (line >= 1 && line <= w.TextHeight) w.TextVpos = line;
}

void t_Vtab(int64_t line) { t_Vtab(defaultWindow(), line); }

int64_t t_Hpos(uint8_t window) {
    if (!checkWindow("t_Hpos", window)) return 0;
    const t_Window& w = windowRecord(window);
    return w.TextHpos - w.TextFirstColumn + 1;
}

void t_CursorOn(uint8_t window) {
    if (!checkWindow("t_CursorOn", window)) return;
    if (++windowRecord(window).TextCursorLevel == 1) t_CursorDraw(window);
}

void t_CursorOff(uint8_t window) {
    if (!checkWindow("t_CursorOff", window)) return;
    if (--windowRecord(window).TextCursorLevel == 0) t_CursorDraw(window);
}

void t_CursorDraw(uint8_t window) {
    if (!checkWindow("t_CursorDraw", window)) return;
    const t_Window& w = windowRecord(window);
    t_InvertRect(window, w.TextHpos, w.TextVpos, w.TextHpos, w.TextVpos);
}
