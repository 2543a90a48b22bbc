#include "terminal/print.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "display/window.h"
#include "input/events.h"
#include "support/toolkit_fixture.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/modes.h"

using namespace testing_support;

namespace {
void queueKey(int64_t value) {
    t_Event e;
    e.Kind = 1;
    e.Value = value;
    kt::keyQueue().append(e);
}
}  // namespace

TEST(Print, WrapsAtTheAreaAndCarriesOutControlCodes) {
    t_Window& w = textWindow();
    t_Area(0, 1, 1, 40, 25);
    t_Print(0, std::string(41, 'x'));
    EXPECT_EQ(screenLine(0, 2), "x");
    EXPECT_EQ(w.TextHpos, 2);
    t_Cr(0);
    t_Print(0, "A\rB");
    EXPECT_EQ(screenLine(0, 3), "A");
    EXPECT_EQ(screenLine(0, 4), "B");
    t_PrintChar(0, 13);  // drawn as a glyph, no new line
    EXPECT_EQ(cellCode(0, 2, 4), 13);
    EXPECT_EQ(w.TextVpos, 4);
    t_Print(0, "");
    EXPECT_EQ(w.TextHpos, 3);
}

TEST(Print, TheLastCellOfTheAreaScrollsAtOnce) {
    t_Window& w = textWindow();
    t_Print(0, "erste");
    t_CursorEnd(0);
    t_Print(0, "z");
    EXPECT_EQ(screenLine(0, 24), std::string(79, ' ') + "z");
    EXPECT_EQ(screenLine(0, 25), "");
    EXPECT_EQ(w.TextHpos, 1);
    EXPECT_EQ(w.TextVpos, 25);
}

TEST(Print, RoutingToStandardOutputOrNowhereStillMovesTheCursor) {
    t_Window& w = textWindow();
    t_RedirectOutput(0, 2);
    {
        LogCapture log;
        t_Print(0, "ab\r");
        EXPECT_EQ(log.text(), "ab\r");
    }
    EXPECT_EQ(screenLine(0, 1), "");
    EXPECT_EQ(w.TextHpos, 3);
    EXPECT_EQ(w.TextVpos, 1);
    t_RedirectOutput(0, 0);
    {
        LogCapture log;
        t_Print(0, "cd\r");
        EXPECT_EQ(log.text(), "");
    }
    EXPECT_EQ(w.TextHpos, 5);
    EXPECT_EQ(w.TextVpos, 1);
    t_RedirectOutput(0, 1);
}

TEST(Print, SpacesTabsAndTitleLines) {
    t_Window& w = textWindow();
    t_Htab(0, 2);
    t_PrintTab(0, 5, 46);
    EXPECT_EQ(screenLine(0, 1), " ...");
    t_PrintTab(0, 5, 46);
    t_PrintSpc(0, -3);
    EXPECT_EQ(w.TextHpos, 5);
    t_Vtab(0, 2);
    t_Htab(0, 1);
    t_PrintTitleLine(0, "Titel", 20);
    std::vector<uint8_t> expected(5, 159);
    expected.push_back(18);
    for (char c : std::string(" Titel ")) expected.push_back(static_cast<uint8_t>(c));
    expected.push_back(19);
    expected.insert(expected.end(), 6, 159);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(cellCode(0, static_cast<int64_t>(i + 1), 2), expected[i]) << i;
    EXPECT_EQ(cellColour(0, 7, 2), 0x0C);  // the title is inverse
    EXPECT_EQ(cellColour(0, 6, 2), 0xC0);
    EXPECT_FALSE(w.TextInverse);
}

TEST(DisplayModes, TranslateCharactersAndShowControlCodes) {
    t_Window& w = textWindow();
    t_DisplayMode(0, 1);
    t_Print(0, "A");
    EXPECT_EQ(cellCode(0, 1, 1), 193);
    t_DisplayMode(0, 2);
    t_Print(0, "Aa");
    EXPECT_EQ(cellCode(0, 2, 1), 1);
    EXPECT_EQ(cellCode(0, 3, 1), 129);
    t_DisplayMode(0, 3);
    t_PrintChar(0, 1);
    EXPECT_EQ(cellCode(0, 4, 1), 65);
    EXPECT_EQ(cellColour(0, 4, 1), 0x0C);
    EXPECT_FALSE(w.TextInverse);
    t_DisplayMode(0, 4);
    t_Print(0, "\xE2\x82\xAC\x01");  // the euro sign has no code; 1 is a control code
    EXPECT_EQ(cellCode(0, 5, 1), '?');
    EXPECT_EQ(cellColour(0, 5, 1), 0x10);
    EXPECT_EQ(cellCode(0, 6, 1), 'A');
    EXPECT_EQ(cellColour(0, 6, 1), 0x10);
    EXPECT_EQ(w.TextColor, 0xC0);
    t_DisplayMode(0, 7);
    t_Print(0, "\rb");  // drawn, not carried out
    EXPECT_EQ(cellCode(0, 7, 1), 13);
    EXPECT_EQ(cellCode(0, 8, 1), 'b');
    t_DisplayMode(0, 0);
}

TEST(DisplayModes, EscapeSequencesSetColoursTabsAndBorder) {
    t_Window& w = textWindow(0, 40, 25);
    t_Print(0, "\x1B" "A");
    EXPECT_EQ(w.TextColor, 0x10);
    EXPECT_EQ(w.TextDisplayMode, 0);
    EXPECT_EQ(w.TextHpos, 1);
    t_Print(0, "\x1B" "1");
    EXPECT_EQ(cellCode(0, 1, 1), '1');
    EXPECT_EQ(w.TextDisplayMode, 99);
    t_Print(0, "P");
    EXPECT_EQ(w.TextColor, 0x10);
    EXPECT_EQ(w.TextHpos, 2);
    t_Color(0, 0x1C);
    EXPECT_EQ(w.TextColor, 0xC0);
    EXPECT_EQ(w.RGBColor, (t_RGBColor{255, 0, 0xFF, 0}));
    t_Htab(0, 15);
    t_Print(0, "\x1Bi");
    EXPECT_EQ(w.TextHpos, 21);
    t_Htab(0, 35);
    t_Print(0, "\x1Bi");
    EXPECT_EQ(w.TextHpos, 1);
    EXPECT_EQ(w.TextVpos, 2);
    t_Print(0, "\x1B~");
    EXPECT_EQ(w.RGBColorBorder, (t_RGBColor{255, 0, 0, 0}));
    t_Print(0, "\x1Bo");
    EXPECT_EQ(w.RGBColorBorder, (t_RGBColor{255, 0xFF, 0, 0}));
    t_Reverse(0);
    t_Reverse(0);
    EXPECT_FALSE(w.TextInverse);
}

TEST(Print, ControlSPausesOutputUntilTheNextKey) {
    textWindow();
    kt::keyQueue().clear();
    queueKey('x');
    queueKey(19);
    std::atomic<bool> done{false};
    std::thread program([&] {
        t_Print(0, "Halt");
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_FALSE(done);
    EXPECT_EQ(kt::keyQueue().size(), 0u);  // every pending key was dropped
    queueKey('y');
    program.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(kt::keyQueue().size(), 0u);  // the key that ended the pause is thrown away

    queueKey(19);
    done = false;
    std::thread again([&] {
        t_Print(0, "Halt");
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(done);
    kt::menuQueue().append(t_MenuEvent{});
    again.join();
    EXPECT_EQ(kt::menuQueue().size(), 1u);  // a menu choice ends it and stays queued
    kt::menuQueue().clear();
}

TEST(Print, WindowsThatCannotPrintSayWhy) {
    LogCapture log;
    t_Print(9, "x");
    t_PrintSpc(8, 1);
    t_Cr(12);
    t_PrintControl(9, 13);
    auto lines = log.lines();
    EXPECT_EQ(lines, (std::vector<std::string>{"t_Print: Window is not a graphic window.",
                                               "t_PrintSpc: Window is not a graphic window.",
                                               "t_Cr: Window is not a graphic window.",
                                               "t_PrintControl: Window is not a graphic window."}));
}
