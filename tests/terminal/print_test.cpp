#include "terminal/print.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "input/events.h"
#include "support/toolkit_fixture.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/modes.h"

using namespace testing_support;
using namespace std::chrono_literals;
using Pos = std::pair<int64_t, int64_t>;

TEST(Print, WrapsScrollsCarriesOutControlCodesRoutesTabsTitleLinesDisplayModesAndEscapes) {
    t_Window& w = textWindow();
    t_Area(0, 1, 1, 40, 25);
    t_Print(0, std::string(41, 'x'));
    t_Cr(0);
    t_Print(0, "A\rB");
    t_PrintChar(0, 13);  // drawn as a glyph, no new line
    t_Print(0, "");
    EXPECT_EQ(std::tuple(screenLine(0, 2), screenLine(0, 3), screenLine(0, 4), cursorOf(w)),
              std::tuple("x", "A", "B\r", Pos(3, 4)));
    // In the full area, the last cell scrolls at once.
    t_FullArea(0);
    t_Print(0, "erste");
    t_CursorEnd(0);
    t_Print(0, "z");
    EXPECT_EQ(std::tuple(screenLine(0, 24), screenLine(0, 25), cursorOf(w)),
              std::tuple(std::string(79, ' ') + "z", "", Pos(1, 25)));

    // Routed to standard output or nowhere, the text is not drawn but the cursor moves.
    textWindow();
    LogCapture routed;
    for (int64_t target : {2, 0}) t_RedirectOutput(0, target), t_Print(0, "ab\r");
    t_RedirectOutput(0, 1);
    EXPECT_EQ(std::tuple(routed.text(), screenLine(0, 1), cursorOf(w)), std::tuple("ab\r", "", Pos(5, 1)));

    // Spaces, tabs, and a title line's inverse title (its pieces are pinned by the dialog's tests).
    textWindow();
    t_Htab(0, 2);
    t_PrintTab(0, 5, 46);
    t_PrintTab(0, 5, 46);  // there already
    t_PrintSpc(0, -3);
    EXPECT_EQ(std::tuple(screenLine(0, 1), w.TextHpos), std::tuple(" ...", 5));
    t_Vtab(0, 2);
    t_Htab(0, 1);
    t_PrintTitleLine(0, "Titel", 20);
    EXPECT_EQ(std::tuple(cellColour(0, 7, 2), cellColour(0, 6, 2), w.TextInverse), std::tuple(0x0C, 0xC0, false));

    LogCapture log;
    t_Print(9, "x");
    t_Cr(5);
    t_PrintControl(12, 13);
    EXPECT_EQ(log.text(),
              "t_Print: Window is not a graphic window.\nt_Cr: Window #5 not initialized.\n"
              "t_PrintControl: Window is not a graphic window.\n");

    // Display modes translate characters or show control codes; the euro sign has no code; in
    // mode 7 control codes are drawn, not carried out.
    textWindow();
    const std::pair<int64_t, const char*> prints[] = {
        {1, "A"}, {2, "Aa"}, {3, "\x01"}, {4, "\xE2\x82\xAC\x01"}, {7, "\rb"}};
    for (auto [mode, text] : prints) t_DisplayMode(0, mode), t_Print(0, text);
    t_DisplayMode(0, 0);
    std::string colours;
    for (int x = 1; x <= 8; ++x) colours += static_cast<char>(cellColour(0, x, 1));
    EXPECT_EQ(std::tuple(cells(0, 1, 1, 8), colours, w.TextInverse, w.TextColor),
              std::tuple("\301\001\201A?A\rb", "\xC0\xC0\xC0\x0C\x10\x10\xC0\xC0", false, 0xC0));
    t_Color(0, 0x1A);
    t_Reverse(0);
    EXPECT_EQ(std::tuple(w.TextColor, w.RGBColor, w.TextInverse),
              std::tuple(0xA0, t_RGBColor{255, 0xA8, 0xA8, 0xA8}, true));
    t_Reverse(0);
    EXPECT_FALSE(w.TextInverse);

    // Escape sequences set colours, tabs and the border.
    textWindow(0, 40, 25);
    t_Print(0, "\033A\0331");  // "1" is no sequence: printed, and the escape stays pending
    EXPECT_EQ(std::tuple(w.TextColor, cellCode(0, 1, 1), w.TextDisplayMode), std::tuple(0x10, '1', 99));
    t_Print(0, "P");
    EXPECT_EQ(std::tuple(w.TextColor, w.TextDisplayMode, w.TextHpos), std::tuple(0x10, 0, 2));
    t_Htab(0, 15);
    t_Print(0, "\033i");
    const int64_t tabbed = w.TextHpos;
    t_Htab(0, 35);
    t_Print(0, "\033i\033~");  // the last tab stop passed: the next line; a black border
    const t_RGBColor black = w.RGBColorBorder;
    t_Print(0, "\033o");
    EXPECT_EQ(std::tuple(tabbed, cursorOf(w), black, w.RGBColorBorder),
              std::tuple(21, Pos(1, 2), t_RGBColor{255, 0, 0, 0}, t_RGBColor{255, 0xFF, 0, 0}));
}

TEST(Print, ControlSPausesOutputUntilTheNextKeyOrAMenuChoice) {
    textWindow();
    kt::keyQueue().clear();
    std::atomic<bool> done{false};
    auto printWithPause = [&] {
        queueKey(19);
        done = false;
        std::thread program([&] { t_Print(0, "Halt"), done = true; });
        // The pause drops every pending key: wait for that, not for a fixed time.
        for (int i = 0; i < 500 && kt::keyQueue().size() > 0; ++i) std::this_thread::sleep_for(10ms);
        std::this_thread::sleep_for(30ms);
        EXPECT_EQ(std::tuple(done.load(), kt::keyQueue().size()), std::tuple(false, 0u));
        return program;
    };
    queueKey('x');
    std::thread program = printWithPause();
    queueKey('y');
    program.join();
    EXPECT_EQ(kt::keyQueue().size(), 0u);  // the key that ended the pause is thrown away
    program = printWithPause();
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
        std::thread program([&] { t_Print(0, "x"), done = true; });
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
