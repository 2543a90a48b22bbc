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
using namespace std::chrono_literals;
using Pos = std::pair<int64_t, int64_t>;
using Cell = std::pair<int, int>;

namespace {
Pos cursor(const t_Window& w) { return {w.TextHpos, w.TextVpos}; }

// What printing the text to window 0 writes to the log (standard output).
std::string printLogged(const std::string& text) {
    LogCapture log;
    t_Print(0, text);
    return log.text();
}
}  // namespace

TEST(Print, WrapsAtTheAreaScrollsAtItsLastCellAndCarriesOutControlCodes) {
    t_Window& w = textWindow();
    t_Area(0, 1, 1, 40, 25);
    t_Print(0, std::string(41, 'x'));
    EXPECT_EQ(std::tuple(screenLine(0, 2), w.TextHpos), std::tuple("x", 2));
    t_Cr(0);
    t_Print(0, "A\rB");
    EXPECT_EQ(std::tuple(screenLine(0, 3), screenLine(0, 4)), std::tuple("A", "B"));
    t_PrintChar(0, 13);  // drawn as a glyph, no new line
    EXPECT_EQ(std::tuple(cellCode(0, 2, 4), w.TextVpos), std::tuple(13, 4));
    t_Print(0, "");
    EXPECT_EQ(w.TextHpos, 3);
    // In the full area, the last cell scrolls at once.
    t_FullArea(0);
    t_Print(0, "erste");
    t_CursorEnd(0);
    t_Print(0, "z");
    EXPECT_EQ(std::tuple(screenLine(0, 24), screenLine(0, 25), cursor(w)),
              std::tuple(std::string(79, ' ') + "z", "", Pos(1, 25)));
}

TEST(Print, RoutingToStandardOutputOrNowhereStillMovesTheCursor) {
    t_Window& w = textWindow();
    t_RedirectOutput(0, 2);
    EXPECT_EQ(printLogged("ab\r"), "ab\r");
    EXPECT_EQ(std::tuple(screenLine(0, 1), cursor(w)), std::tuple("", Pos(3, 1)));
    t_RedirectOutput(0, 0);
    EXPECT_EQ(printLogged("cd\r"), "");
    EXPECT_EQ(cursor(w), Pos(5, 1));
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
    EXPECT_EQ(cells(0, 2, 1, 20), std::string(5, '\x9F') + "\x12 Titel \x13" + std::string(6, '\x9F'));
    // The title is inverse.
    EXPECT_EQ(std::tuple(cellColour(0, 7, 2), cellColour(0, 6, 2), w.TextInverse), std::tuple(0x0C, 0xC0, false));
}

TEST(DisplayModes, TranslateCharactersAndShowControlCodes) {
    t_Window& w = textWindow();
    t_DisplayMode(0, 1);
    t_Print(0, "A");
    t_DisplayMode(0, 2);
    t_Print(0, "Aa");
    t_DisplayMode(0, 3);
    t_PrintChar(0, 1);
    EXPECT_FALSE(w.TextInverse);
    t_DisplayMode(0, 4);
    t_Print(0, "\xE2\x82\xAC\x01");  // the euro sign has no code; 1 is a control code
    EXPECT_EQ(w.TextColor, 0xC0);
    t_DisplayMode(0, 7);
    t_Print(0, "\rb");  // drawn, not carried out
    t_DisplayMode(0, 0);
    std::vector<Cell> shown;
    for (int x = 1; x <= 8; ++x) shown.push_back({cellCode(0, x, 1), cellColour(0, x, 1)});
    EXPECT_EQ(shown,
              (std::vector<Cell>{
                  {193, 0xC0}, {1, 0xC0}, {129, 0xC0}, {65, 0x0C}, {'?', 0x10}, {'A', 0x10}, {13, 0xC0}, {'b', 0xC0}}));
}

TEST(DisplayModes, EscapeSequencesSetColoursTabsAndBorder) {
    t_Window& w = textWindow(0, 40, 25);
    t_Print(0,
            "\x1B"
            "A");
    EXPECT_EQ(std::tuple(w.TextColor, w.TextDisplayMode, w.TextHpos), std::tuple(0x10, 0, 1));
    t_Print(0,
            "\x1B"
            "1");
    EXPECT_EQ(std::tuple(cellCode(0, 1, 1), w.TextDisplayMode), std::tuple('1', 99));
    t_Print(0, "P");
    EXPECT_EQ(std::tuple(w.TextColor, w.TextHpos), std::tuple(0x10, 2));
    t_Color(0, 0x1C);
    EXPECT_EQ(std::tuple(w.TextColor, w.RGBColor), std::tuple(0xC0, t_RGBColor{255, 0, 0xFF, 0}));
    t_Htab(0, 15);
    t_Print(0, "\x1Bi");
    EXPECT_EQ(w.TextHpos, 21);
    t_Htab(0, 35);
    t_Print(0, "\x1Bi");
    EXPECT_EQ(cursor(w), Pos(1, 2));
    t_Print(0, "\x1B~");
    EXPECT_EQ(w.RGBColorBorder, (t_RGBColor{255, 0, 0, 0}));
    t_Print(0, "\x1Bo");
    EXPECT_EQ(w.RGBColorBorder, (t_RGBColor{255, 0xFF, 0, 0}));
    t_Reverse(0);
    t_Reverse(0);
    EXPECT_FALSE(w.TextInverse);
}

TEST(Print, ControlSPausesOutputUntilTheNextKeyOrAMenuChoice) {
    textWindow();
    kt::keyQueue().clear();
    std::atomic<bool> done{false};
    auto printWithPause = [&](std::thread& program) {
        queueKey(19);
        done = false;
        program = std::thread([&] {
            t_Print(0, "Halt");
            done = true;
        });
        // The pause drops every pending key: wait for that, not for a fixed time.
        for (int i = 0; i < 500 && kt::keyQueue().size() > 0; ++i) std::this_thread::sleep_for(10ms);
        std::this_thread::sleep_for(30ms);
        EXPECT_FALSE(done);
        EXPECT_EQ(kt::keyQueue().size(), 0u);
    };
    std::thread program;
    queueKey('x');
    printWithPause(program);
    queueKey('y');
    program.join();
    EXPECT_EQ(kt::keyQueue().size(), 0u);  // the key that ended the pause is thrown away
    printWithPause(program);
    kt::menuQueue().append(t_MenuEvent{});
    program.join();
    EXPECT_EQ(kt::menuQueue().size(), 1u);  // a menu choice ends it and stays queued
    kt::menuQueue().clear();
}

// Keys that arrive while a pause ends are never left waiting unseen: the key flag always
// agrees with the queue once the pause is over, however the keys and the pause interleave.
TEST(Print, KeysArrivingAsAPauseEndsAreSeen) {
    textWindow();
    for (int round = 0; round < 40; ++round) {
        kt::keyQueue().clear();
        queueKey(19);
        std::atomic<bool> done{false};
        std::thread program([&] { t_Print(0, "x"); done = true; });
        while (kt::keyQueue().size() > 0) std::this_thread::yield();  // the pause has begun
        std::thread typist([&] {
            for (int k = 0; k < 50 && !done; ++k) queueKey('a' + k % 26);
        });
        typist.join();
        program.join();
        const size_t left = kt::keyQueue().size();
        EXPECT_EQ(t_EventAvailable(), left > 0) << "round " << round << ", " << left << " keys left";
    }
    kt::keyQueue().clear();
}

TEST(Print, WindowsThatCannotPrintSayWhy) {
    LogCapture log;
    t_Print(9, "x");
    t_Cr(5);
    t_PrintControl(12, 13);
    EXPECT_EQ(log.text(),
              "t_Print: Window is not a graphic window.\nt_Cr: Window #5 not initialized.\n"
              "t_PrintControl: Window is not a graphic window.\n");
}
