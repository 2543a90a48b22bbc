#include "terminal/program_end.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "app/startup.h"
#include "app/threads.h"
#include "support/toolkit_fixture.h"
#include "terminal/area.h"
#include "terminal/modes.h"
#include "terminal/print.h"

using namespace testing_support;

namespace {
// t_QuitProgram ends the thread that calls it; joining shows that it did. Matches what it
// logged against its one line, whatever the update thread logs meanwhile.
void expectQuitLogging(uint8_t window, const std::string& line) {
    LogCapture log;
    std::thread([window] { t_QuitProgram(window); }).join();
    const std::string updates = "(t_WindowAutoUpdateProcess:[^\n]*\n)*";
    EXPECT_THAT(log.text(), testing::MatchesRegex(updates + "t_QuitProgram: Quitting current thread" + line + updates));
}
}  // namespace

TEST(ProgramEnd, LeavesTheClosingMessageInNormalDisplayOrOnlyLogsWithoutAWindow) {
    t_Window& w = textWindow();
    t_Print(0, "Ostrakonix");
    // A window without a host window, one out of range and one never set up only log; a
    // failure message of the drawing would split the log line.
    headless().setWindowExists(0, false);
    for (uint8_t window : {0, 13, 5}) expectQuitLogging(window, "\\.\n");
    headless().setWindowExists(0, true);
    EXPECT_EQ(screenLine(0, 25), "");

    t_Area(0, 10, 5, 40, 10);
    t_Inverse(0);
    t_DisplayMode(0, 2);  // would turn the capital P into a control code
    const int displayed = headless().window(0).displayed;
    expectQuitLogging(0, " with message in window #0\\.\n");
    // Colour 1 on the window's background, not inverse, in the whole window.
    EXPECT_EQ(std::tuple(screenLine(0, 25), screenLine(0, 1), cellColour(0, 1, 25), w.TextInverse, w.TextLastColumn),
              std::tuple("(Programm Ende)", "Ostrakonix", 0x10 | (w.TextColor & 15), false, 80));
    // Shown at once, before the thread ended.
    EXPECT_TRUE(headless().window(0).displayed > displayed && headless().programHasEnded());
}

// The program thread ends by unwinding through the launcher's frames and the program's own:
// destructors run, held locks are given back, and a handler of ordinary exceptions on the
// way neither stops nor aborts it.
TEST(ProgramEnd, UnwindsTheProgramThreadThroughItsFrames) {
    textWindow();
    struct Sentinel {
        std::atomic<bool>& released;
        ~Sentinel() { released = true; }
    };
    static std::mutex held;
    std::atomic<bool> released{false}, swallowed{false}, returned{false};
    startprocess(
        [&] {
            Sentinel sentinel{released};
            std::lock_guard lock(held);
            try {
                t_QuitProgram(13);
            } catch (const std::exception&) {
                swallowed = true;
            }
            returned = true;
        },
        app::programStackSize);
    for (int i = 0; i < 500 && !released; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(released);
    EXPECT_TRUE(held.try_lock());
    held.unlock();
    EXPECT_FALSE(swallowed);
    EXPECT_FALSE(returned);
    EXPECT_TRUE(headless().programHasEnded());
}
