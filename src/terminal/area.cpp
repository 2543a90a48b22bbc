#include "terminal/area.h"

#include <cstring>
#include <vector>

#include "app/log.h"
#include "app/utf8.h"

#include "display/glyph.h"
#include "display/image.h"
#include "display/window.h"
#include "terminal/cursor.h"

using kt::checkWindow;
using kt::windowRecord;

namespace {

uint8_t* memory() { return kt::display().memory.data(); }

bool insideWindow(const t_Window& w, int64_t fc, int64_t fl, int64_t lc, int64_t ll) {
    return 1 <= fc && fc <= lc && lc <= w.TextWidth && 1 <= fl && fl <= ll && ll <= w.TextHeight;
}

uint8_t storedCode(const t_Window& w, int64_t x, int64_t y) {
    return memory()[w.TextMemoryStart + (x - 1) + w.TextWidth * (y - 1)];
}

uint8_t storedColour(const t_Window& w, int64_t x, int64_t y) {
    return memory()[w.TextMemoryStart + kt::textHalf(w) + (x - 1) + w.TextWidth * (y - 1)];
}

// Clears one line of cells from column `from` to `to` with the current colours.
void clearCells(uint8_t window, int64_t from, int64_t to, int64_t line) {
    const uint8_t colour = windowRecord(window).TextColor;
    for (int64_t x = from; x <= to; ++x) t_PrintSymbol(window, 32, colour, x, line);
}

// Redraws cell (x, y) from the stored cell (sx, sy), with TextInverse off.
void copyCell(uint8_t window, int64_t x, int64_t y, int64_t sx, int64_t sy) {
    const t_Window& w = windowRecord(window);
    t_PrintSymbol(window, storedCode(w, sx, sy), storedColour(w, sx, sy), x, y);
}

// Full-width scroll as three block moves: the lines FL+1…LL move one line up (direction
// −1) or FL…LL−1 move one line down (+1).
void moveLines(uint8_t window, int direction) {
    t_Window& w = windowRecord(window);
    const int64_t FL = w.TextFirstLine, LL = w.TextLastLine, TW = w.TextWidth, H = kt::textHalf(w);
    const int64_t FW = w.Font.Width, FH = w.Font.Height, W = w.Width, bits = w.BitDepth;
    const auto textBytes = static_cast<size_t>((LL - FL) * TW);
    const int64_t lineBytes = bits * FH * W / 8;
    // Pixels of lines FL+1 … LL (moving up) or FL … LL−1 (moving down).
    const int64_t firstPixelLine = direction < 0 ? FL : FL - 1;
    const int64_t lastPixelLine = direction < 0 ? LL : LL - 1;
    const int64_t from = bits * FH * firstPixelLine * W / 8;
    const int64_t to = (FW * w.TextLastColumn + (FH * lastPixelLine - 1) * W) * bits / 8;
    uint8_t* m = memory();
    if (direction < 0) {
        std::memmove(m + w.TextMemoryStart + H + TW * (FL - 1), m + w.TextMemoryStart + H + TW * FL, textBytes);
        std::memmove(m + w.TextMemoryStart + TW * (FL - 1), m + w.TextMemoryStart + TW * FL, textBytes);
        if (to > from) std::memmove(m + w.MemoryStart + from - lineBytes, m + w.MemoryStart + from, static_cast<size_t>(to - from));
    } else {
        std::memmove(m + w.TextMemoryStart + H + TW * FL, m + w.TextMemoryStart + H + TW * (FL - 1), textBytes);
        std::memmove(m + w.TextMemoryStart + TW * FL, m + w.TextMemoryStart + TW * (FL - 1), textBytes);
        if (to > from) std::memmove(m + w.MemoryStart + from + lineBytes, m + w.MemoryStart + from, static_cast<size_t>(to - from));
    }
    kt::touchWindow(window);
}

bool wholeWidth(const t_Window& w) { return w.TextFirstColumn == 1 && w.TextLastColumn == w.TextWidth; }

}  // namespace

void t_Area(uint8_t window, int64_t firstColumn, int64_t firstLine, int64_t lastColumn, int64_t lastLine) {
    if (!checkWindow("t_Area", window, false)) return;
    t_Window& w = windowRecord(window);
    if (1 <= firstColumn && firstColumn <= lastColumn && lastColumn <= w.TextWidth) {
        w.TextFirstColumn = firstColumn;
        w.TextLastColumn = lastColumn;
    }
    if (1 <= firstLine && firstLine <= lastLine && lastLine <= w.TextHeight) {
        w.TextFirstLine = firstLine;
        w.TextLastLine = lastLine;
    }
    t_CursorHome(window);
}

void t_FullArea(uint8_t window) {
    if (!checkWindow("t_FullArea", window, false)) return;
    t_Window& w = windowRecord(window);
    w.TextFirstColumn = 1;
    w.TextLastColumn = w.TextWidth;
    w.TextFirstLine = 1;
    w.TextLastLine = w.TextHeight;
}

void t_ClearEndOfLine(uint8_t window) {
    if (!checkWindow("t_ClearEndOfLine", window)) return;
    const t_Window& w = windowRecord(window);
    if (w.TextHpos <= w.TextLastColumn) clearCells(window, w.TextHpos, w.TextLastColumn, w.TextVpos);
}

void t_ClearEndOfLine() { t_ClearEndOfLine(kt::display().defaultWindow.load()); }

void t_ClearEndOfWindow(uint8_t window) {
    if (!checkWindow("t_ClearEndOfWindow", window)) return;
    t_ClearEndOfLine(window);
    const t_Window& w = windowRecord(window);
    for (int64_t line = w.TextVpos + 1; line <= w.TextLastLine; ++line)
        clearCells(window, w.TextFirstColumn, w.TextLastColumn, line);
}

void t_ClearWindow() {
    uint8_t window = kt::display().defaultWindow.load();
    t_CursorHome(window);
    t_ClearEndOfWindow(window);
}

void t_ClearRect(uint8_t window, int64_t firstColumn, int64_t firstLine, int64_t lastColumn, int64_t lastLine) {
    if (!checkWindow("t_ClearRect", window)) return;
    if (!insideWindow(windowRecord(window), firstColumn, firstLine, lastColumn, lastLine)) return;
    for (int64_t line = firstLine; line <= lastLine; ++line) clearCells(window, firstColumn, lastColumn, line);
}

void t_ScrollUp(uint8_t window) {
    if (!checkWindow("t_ScrollUp", window)) return;
    t_Window& w = windowRecord(window);
    if (w.ScrollLock) return;
    if (wholeWidth(w)) {
        moveLines(window, -1);
    } else {
        bool inverse = w.TextInverse;
        w.TextInverse = false;
        for (int64_t y = w.TextFirstLine; y < w.TextLastLine; ++y)
            for (int64_t x = w.TextFirstColumn; x <= w.TextLastColumn; ++x) copyCell(window, x, y, x, y + 1);
        w.TextInverse = inverse;
    }
    clearCells(window, w.TextFirstColumn, w.TextLastColumn, w.TextLastLine);
}

void t_ScrollDown(uint8_t window) {
    if (!checkWindow("t_ScrollDown", window)) return;
    t_Window& w = windowRecord(window);
    if (w.ScrollLock) return;
    if (wholeWidth(w)) {
        moveLines(window, +1);
    } else {
        bool inverse = w.TextInverse;
        w.TextInverse = false;
        for (int64_t y = w.TextLastLine; y > w.TextFirstLine; --y)
            for (int64_t x = w.TextFirstColumn; x <= w.TextLastColumn; ++x) copyCell(window, x, y, x, y - 1);
        w.TextInverse = inverse;
    }
    clearCells(window, w.TextFirstColumn, w.TextLastColumn, w.TextFirstLine);
}

void t_InvertRect(uint8_t window, int64_t firstColumn, int64_t firstLine, int64_t lastColumn, int64_t lastLine) {
    if (!checkWindow("t_InvertRect", window)) return;
    t_Window& w = windowRecord(window);
    if (!insideWindow(w, firstColumn, firstLine, lastColumn, lastLine)) return;
    bool inverse = w.TextInverse;
    w.TextInverse = true;
    for (int64_t y = firstLine; y <= lastLine; ++y)
        for (int64_t x = firstColumn; x <= lastColumn; ++x) copyCell(window, x, y, x, y);
    w.TextInverse = inverse;
}

void t_TextHline(uint8_t window, int64_t fromColumn, int64_t toColumn, int64_t line, uint8_t code) {
    if (!checkWindow("t_TextHline", window)) return;
    const uint8_t colour = windowRecord(window).TextColor;
    for (int64_t x = fromColumn; x <= toColumn; ++x) t_PrintSymbol(window, code, colour, x, line);
}

void t_TextLine(uint8_t window) {
    if (!checkWindow("t_TextLine", window)) return;
    const t_Window& w = windowRecord(window);
    t_TextHline(window, w.TextHpos, w.TextLastColumn, w.TextVpos, 156);
    t_Cr(window);
}

std::string t_GetScreen(uint8_t window, const std::string& lineEnd) {
    if (!checkWindow("t_GetScreen", window)) return {};
    const t_Window& w = windowRecord(window);
    std::string all;
    all.reserve(static_cast<size_t>((w.TextWidth + 1) * w.TextHeight * 2));
    for (int64_t y = 1; y <= w.TextHeight; ++y) {
        for (int64_t x = 1; x <= w.TextWidth; ++x) all += kt::utf8Of(storedCode(w, x, y));
        all += lineEnd;
    }
    if (lineEnd.empty()) return all;
    // Split at carriage returns, drop the blanks that end each line and the empty lines
    // that end the screen, and join again.
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = all.find('\r', start);
        std::string line = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    while (lines.size() > 1 && lines.back().empty()) lines.pop_back();
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) joined += '\r';
        joined += lines[i];
    }
    return joined;
}
