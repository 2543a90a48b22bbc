#include "terminal/program_end.h"

#include <gtest/gtest.h>

#include <thread>

#include "display/window.h"
#include "support/toolkit_fixture.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/modes.h"
#include "terminal/print.h"

using namespace testing_support;

namespace {

// t_QuitProgram ends the thread that calls it; joining shows that it did. Returns what it
// logged (the update thread, started with the first window, may log its start meanwhile).
std::vector<std::string> quitOnItsOwnThread(uint8_t window) {
    LogCapture log;
    std::thread program([window] { t_QuitProgram(window); });
    program.join();
    std::vector<std::string> lines;
    for (const std::string& line : log.lines())
        if (line.rfind("t_WindowAutoUpdateProcess:", 0) != 0) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(ProgramEnd, LeavesTheClosingMessageInNormalDisplay) {
    t_Window& w = textWindow();
    t_Print(0, "Ostrakonix");
    t_Area(0, 10, 5, 40, 10);
    t_Inverse(0);
    t_DisplayMode(0, 2);  // would turn the capital P into a control code
    const uint8_t background = w.TextColor & 15;
    const int displayed = headless().window(0).displayed;

    EXPECT_EQ(quitOnItsOwnThread(0),
              (std::vector<std::string>{"t_QuitProgram: Quitting current thread with message in window #0."}));
    EXPECT_EQ(screenLine(0, 25), "(Programm Ende)");
    EXPECT_EQ(screenLine(0, 1), "Ostrakonix");
    EXPECT_EQ(cellColour(0, 1, 25), 0x10 | background);  // colour 1 on the window's background, not inverse
    EXPECT_FALSE(w.TextInverse);
    EXPECT_EQ(w.TextLastColumn, 80);
    EXPECT_GT(headless().window(0).displayed, displayed);  // shown at once, before the thread ended
    EXPECT_TRUE(headless().programHasEnded());
}

TEST(ProgramEnd, WithoutAWindowToShowItOnlyLogs) {
    textWindow();
    t_Print(0, "bleibt");
    EXPECT_EQ(quitOnItsOwnThread(13), (std::vector<std::string>{"t_QuitProgram: Quitting current thread."}));

    headless().setWindowExists(0, false);
    EXPECT_EQ(quitOnItsOwnThread(0), (std::vector<std::string>{"t_QuitProgram: Quitting current thread."}));
    headless().setWindowExists(0, true);
    EXPECT_EQ(screenLine(0, 1), "bleibt");
    EXPECT_EQ(screenLine(0, 25), "");

    // A graphic window never set up has no text to show; no failure lines split the log line.
    EXPECT_EQ(quitOnItsOwnThread(5), (std::vector<std::string>{"t_QuitProgram: Quitting current thread."}));
}
