#include <gtest/gtest.h>

#include <algorithm>

#include "display/window.h"
#include "support/toolkit_fixture.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/print.h"
#include "terminal/text.h"

using namespace testing_support;

TEST(Cursor, TabsCountColumnsFromTheAreaAndLinesFromTheWindow) {
    t_Window& w = textWindow();
    t_Area(0, 5, 3, 20, 10);
    t_Htab(0, 1);
    EXPECT_EQ(w.TextHpos, 5);
    EXPECT_EQ(t_Hpos(0), 1);
    t_Vtab(0, 1);
    EXPECT_EQ(w.TextVpos, 1);  // above the area
    t_Htab(0, 0);
    t_Htab(0, 77);  // beyond the window's width
    EXPECT_EQ(w.TextHpos, 5);
    t_Htab(0, 76);  // right of the area, inside the window
    EXPECT_EQ(w.TextHpos, 80);
    t_Vtab(0, 26);
    EXPECT_EQ(w.TextVpos, 1);
}

TEST(Cursor, MovingPastTheAreaEdgesWrapsAndScrolls) {
    t_Window& w = textWindow();
    t_Area(0, 1, 1, 80, 3);
    t_Print(0, "oben");
    t_CursorHome(0);
    t_CursorLeft(0);  // first cell: the area scrolls down
    EXPECT_EQ(w.TextHpos, 80);
    EXPECT_EQ(w.TextVpos, 1);
    EXPECT_EQ(screenLine(0, 1), "");
    EXPECT_EQ(screenLine(0, 2), "oben");
    t_CursorEnd(0);
    t_CursorRight(0);  // last cell: the area scrolls up
    EXPECT_EQ(w.TextHpos, 1);
    EXPECT_EQ(w.TextVpos, 3);
    EXPECT_EQ(screenLine(0, 1), "oben");
    w.ScrollLock = true;
    t_CursorDown(0);
    EXPECT_EQ(w.TextVpos, 3);
    EXPECT_EQ(screenLine(0, 1), "oben");
    w.ScrollLock = false;
}

TEST(Cursor, LevelsDrawTheCursorOnlyAtOne) {
    textWindow();
    t_CursorOn(0);
    EXPECT_EQ(cellColour(0, 1, 1), 0x0C);  // inverted green on black
    t_CursorOn(0);
    t_CursorOff(0);
    EXPECT_EQ(cellColour(0, 1, 1), 0x0C);
    t_CursorOff(0);
    EXPECT_EQ(cellColour(0, 1, 1), 0xC0);
    t_CursorOff(0);  // level −1: nothing drawn
    t_CursorOn(0);
    EXPECT_EQ(cellColour(0, 1, 1), 0xC0);
    EXPECT_EQ(kt::windowRecord(0).TextCursorLevel, 0);
}

TEST(Area, PrintingPastTheAreaScrollsOnlyTheArea) {
    textWindow();
    t_Vtab(0, 1);
    t_Print(0, "Kopf");
    t_Vtab(0, 21);
    t_Htab(0, 1);
    t_Print(0, "Fuss");
    t_Area(0, 1, 3, 80, 20);
    for (int i = 0; i < 19; ++i) t_Print(0, "Zeile " + std::to_string(i) + "\r");
    EXPECT_EQ(screenLine(0, 1), "Kopf");
    EXPECT_EQ(screenLine(0, 3), "Zeile 2");
    EXPECT_EQ(screenLine(0, 19), "Zeile 18");
    EXPECT_EQ(screenLine(0, 20), "");
    EXPECT_EQ(screenLine(0, 21), "Fuss");
    t_Area(0, 0, 5, 80, 6);  // a bad column pair keeps the old columns
    EXPECT_EQ(kt::windowRecord(0).TextFirstColumn, 1);
    EXPECT_EQ(kt::windowRecord(0).TextFirstLine, 5);
    EXPECT_EQ(kt::windowRecord(0).TextVpos, 5);
}

TEST(Area, NarrowScrollingLeavesTheRestOfEachLine) {
    textWindow();
    for (int y = 1; y <= 3; ++y) {
        t_Vtab(0, y);
        t_Htab(0, 1);
        t_Print(0, std::string(40, static_cast<char>('a' + y)));
    }
    t_Area(0, 10, 1, 30, 3);
    t_ScrollUp(0);
    EXPECT_EQ(screenLine(0, 1), std::string(9, 'b') + std::string(21, 'c') + std::string(10, 'b'));
    EXPECT_EQ(screenLine(0, 3), std::string(9, 'd') + std::string(21, ' ') + std::string(10, 'd'));
    t_ScrollDown(0);
    EXPECT_EQ(screenLine(0, 1), std::string(9, 'b') + std::string(21, ' ') + std::string(10, 'b'));
    EXPECT_EQ(screenLine(0, 2), std::string(9, 'c') + std::string(21, 'c') + std::string(10, 'c'));
}

TEST(Area, FullWidthScrollMovesPixelsAndCellsTogether) {
    t_Window& w = textWindow();
    t_Vtab(0, 2);
    t_Print(0, "X");
    const auto& m = kt::display().memory;
    auto pixelRow = [&](int64_t row) {
        auto start = m.begin() + w.MemoryStart + row * w.Width * 3;
        return std::vector<uint8_t>(start, start + w.Width * 3);
    };
    std::vector<uint8_t> before = pixelRow(32 + 16);
    t_ScrollUp(0);
    EXPECT_EQ(screenLine(0, 1), "X");
    EXPECT_EQ(pixelRow(16), before);
    EXPECT_EQ(screenLine(0, 25), "");
    t_ScrollDown(0);
    t_ScrollDown(0);
    EXPECT_EQ(screenLine(0, 3), "X");
    EXPECT_EQ(pixelRow(64 + 16), before);
}

TEST(Area, ClearingHonoursBoundsAndTheInverseColours) {
    t_Window& w = textWindow();
    t_Print(0, "abcdef");
    t_Htab(0, 81);
    LogCapture log;
    t_Area(0, 1, 1, 3, 25);
    t_Htab(0, 5);  // right of the area
    t_ClearEndOfLine(0);
    EXPECT_EQ(screenLine(0, 1), "abcdef");
    t_ClearRect(0, 5, 5, 4, 6);
    EXPECT_EQ(log.text(), "");
    t_FullArea(0);
    t_Htab(0, 3);
    t_Vtab(0, 1);
    w.TextInverse = true;
    t_ClearEndOfLine(0);
    w.TextInverse = false;
    EXPECT_EQ(screenLine(0, 1), "ab");
    EXPECT_EQ(cellColour(0, 3, 1), 0x0C);
    EXPECT_EQ(cellColour(0, 2, 1), 0xC0);
}

TEST(Area, InvertingTwiceRestoresPixelsAndAttributes) {
    t_Window& w = textWindow();
    t_Print(0, "Q");
    std::vector<uint8_t> before(kt::display().memory.begin() + w.MemoryStart,
                                kt::display().memory.begin() + w.MemoryEnd);
    t_InvertRect(0, 1, 1, 1, 1);
    EXPECT_EQ(cellColour(0, 1, 1), 0x0C);
    t_InvertRect(0, 1, 1, 1, 1);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), kt::display().memory.begin() + w.MemoryStart));
    EXPECT_EQ(cellColour(0, 1, 1), 0xC0);
}

TEST(Area, LinesAndTheScreenAsText) {
    textWindow(0, 80, 24);
    EXPECT_EQ(t_GetScreen(0, "").size(), 1920u);
    t_Print(0, "OK");
    EXPECT_EQ(t_GetScreen(0, "\r"), "OK");
    t_TextHline(0, 10, 5, 1, 156);
    EXPECT_EQ(screenLine(0, 1), "OK");
    t_Vtab(0, 3);
    t_Htab(0, 1);
    t_Print(0, "ab");
    t_TextLine(0);
    EXPECT_EQ(cellCode(0, 3, 3), 156);
    EXPECT_EQ(cellCode(0, 80, 3), 156);
    EXPECT_EQ(kt::windowRecord(0).TextVpos, 4);
    EXPECT_EQ(t_GetScreen(0, "\r"), "OK\r\rab" + kt::latin1ToUtf8(std::vector<uint8_t>(78, 156)));
}
