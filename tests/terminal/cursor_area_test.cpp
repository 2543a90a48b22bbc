#include <gtest/gtest.h>

#include "display/window.h"
#include "support/toolkit_fixture.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/print.h"
#include "terminal/text.h"

using namespace testing_support;
using Pos = std::pair<int64_t, int64_t>;

namespace {
Pos cursor(const t_Window& w) { return {w.TextHpos, w.TextVpos}; }

void printAt(int64_t x, int64_t y, const std::string& text) {
    t_Vtab(0, y);
    t_Htab(0, x);
    t_Print(0, text);
}
}  // namespace

TEST(Cursor, TabsLevelsAndMovingPastTheAreaEdges) {
    t_Window& w = textWindow();
    t_Area(0, 5, 3, 20, 10);
    t_Htab(0, 1);
    EXPECT_EQ(std::tuple(w.TextHpos, t_Hpos(0)), std::tuple(5, 1));
    t_Vtab(0, 1);
    EXPECT_EQ(w.TextVpos, 1);  // above the area
    t_Htab(0, 0);
    t_Htab(0, 77);  // beyond the window's width
    EXPECT_EQ(w.TextHpos, 5);
    t_Htab(0, 76);  // right of the area, inside the window
    t_Vtab(0, 26);
    EXPECT_EQ(cursor(w), Pos(80, 1));
    // The cursor is drawn (inverted green on black) only while its level is 1; "-" lowers it, "+" raises it.
    t_Htab(0, 1);
    const std::pair<std::string, int> levels[] = {{"+", 0x0C}, {"+-", 0x0C}, {"-", 0xC0}, {"-+", 0xC0}};
    for (const auto& [steps, colour] : levels) {
        for (char step : steps) step == '+' ? t_CursorOn(0) : t_CursorOff(0);
        EXPECT_EQ(cellColour(0, 5, 1), colour) << steps;
    }
    EXPECT_EQ(w.TextCursorLevel, 0);
    // Moving past the area edges wraps and scrolls.
    textWindow();
    t_Area(0, 1, 1, 80, 3);
    t_Print(0, "oben");
    t_CursorHome(0);
    t_CursorLeft(0);  // first cell: the area scrolls down
    EXPECT_EQ(std::tuple(cursor(w), screenLine(0, 1), screenLine(0, 2)), std::tuple(Pos(80, 1), "", "oben"));
    t_CursorEnd(0);
    t_CursorRight(0);  // last cell: the area scrolls up
    EXPECT_EQ(std::tuple(cursor(w), screenLine(0, 1)), std::tuple(Pos(1, 3), "oben"));
    w.ScrollLock = true;
    t_CursorDown(0);
    EXPECT_EQ(std::tuple(w.TextVpos, screenLine(0, 1)), std::tuple(3, "oben"));
    w.ScrollLock = false;
}

TEST(Area, PrintingPastTheAreaScrollsOnlyTheAreaEvenANarrowOne) {
    const t_Window& w = textWindow();
    printAt(1, 1, "Kopf");
    printAt(1, 21, "Fuss");
    t_Area(0, 1, 3, 80, 20);
    for (int i = 0; i < 19; ++i) t_Print(0, "Zeile " + std::to_string(i) + "\r");
    EXPECT_EQ(std::tuple(screenLine(0, 1), screenLine(0, 3), screenLine(0, 19), screenLine(0, 20), screenLine(0, 21)),
              std::tuple("Kopf", "Zeile 2", "Zeile 18", "", "Fuss"));
    t_Area(0, 0, 5, 80, 6);  // a bad column pair keeps the old columns
    EXPECT_EQ(std::tuple(w.TextFirstColumn, w.TextFirstLine, w.TextVpos), std::tuple(1, 5, 5));
    // Scrolling a narrow area leaves the rest of each line.
    textWindow();
    for (int y = 1; y <= 3; ++y) printAt(1, y, std::string(40, static_cast<char>('a' + y)));
    t_Area(0, 10, 1, 30, 3);
    t_ScrollUp(0);
    auto line = [](char left, char middle) {
        return std::string(9, left) + std::string(21, middle) + std::string(10, left);
    };
    EXPECT_EQ(std::tuple(screenLine(0, 1), screenLine(0, 3)), std::tuple(line('b', 'c'), line('d', ' ')));
    t_ScrollDown(0);
    EXPECT_EQ(std::tuple(screenLine(0, 1), screenLine(0, 2)), std::tuple(line('b', ' '), line('c', 'c')));
}

TEST(Area, FullWidthScrollMovesPixelsAndCellsTogetherAndInvertingTwiceRestores) {
    t_Window& w = textWindow();
    printAt(1, 2, "X");
    auto pixelRows = [&](int64_t row, int64_t count = 1) {
        auto start = kt::display().memory.begin() + w.MemoryStart + row * w.Width * 3;
        return std::vector<uint8_t>(start, start + count * w.Width * 3);
    };
    std::vector<uint8_t> before = pixelRows(32 + 16);
    t_ScrollUp(0);
    EXPECT_EQ(std::tuple(screenLine(0, 1), screenLine(0, 25)), std::tuple("X", ""));
    EXPECT_EQ(pixelRows(16), before);
    t_ScrollDown(0);
    t_ScrollDown(0);
    EXPECT_EQ(screenLine(0, 3), "X");
    EXPECT_EQ(pixelRows(64 + 16), before);

    before = pixelRows(0, w.Height);
    t_InvertRect(0, 1, 3, 1, 3);
    EXPECT_EQ(cellColour(0, 1, 3), 0x0C);
    t_InvertRect(0, 1, 3, 1, 3);
    EXPECT_TRUE(pixelRows(0, w.Height) == before);
    EXPECT_EQ(cellColour(0, 1, 3), 0xC0);
}

TEST(Area, ClearingHonoursBoundsAndTheInverseColoursAndTheScreenReadsAsText) {
    t_Window& w = textWindow();
    t_Print(0, "abcdef");
    LogCapture log;
    t_Area(0, 1, 1, 3, 25);
    t_Htab(0, 5);  // right of the area
    t_ClearEndOfLine(0);
    EXPECT_EQ(screenLine(0, 1), "abcdef");
    t_ClearRect(0, 5, 5, 4, 6);
    EXPECT_EQ(log.text(), "");
    t_FullArea(0);
    t_Vtab(0, 1);
    t_Htab(0, 3);
    w.TextInverse = true;
    t_ClearEndOfLine(0);
    w.TextInverse = false;
    EXPECT_EQ(std::tuple(screenLine(0, 1), cellColour(0, 3, 1), cellColour(0, 2, 1)), std::tuple("ab", 0x0C, 0xC0));
    // Lines, and the screen as text.
    textWindow(0, 80, 24);
    EXPECT_EQ(t_GetScreen(0, "").size(), 1920u);
    t_Print(0, "OK");
    EXPECT_EQ(t_GetScreen(0, "\r"), "OK");
    t_TextHline(0, 10, 5, 1, 156);
    EXPECT_EQ(screenLine(0, 1), "OK");
    printAt(1, 3, "ab");
    t_TextLine(0);
    EXPECT_EQ(std::tuple(cellCode(0, 3, 3), cellCode(0, 80, 3), w.TextVpos), std::tuple(156, 156, 4));
    EXPECT_EQ(t_GetScreen(0, "\r"), "OK\r\rab" + kt::latin1ToUtf8(std::vector<uint8_t>(78, 156)));
}
