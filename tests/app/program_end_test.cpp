#include "terminal/program_end.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "app/startup.h"
#include "app/threads.h"
#include "display/window.h"
#include "support/toolkit_fixture.h"
#include "terminal/area.h"
#include "terminal/modes.h"
#include "terminal/print.h"

using namespace testing_support;

namespace {
// t_QuitProgram ends the thread that calls it; joining shows that it did. Returns what it
// logged, without what the update thread may log meanwhile.
std::string quitOnItsOwnThread(uint8_t window) {
    LogCapture log;
    std::thread([window] { t_QuitProgram(window); }).join();
    std::string text;
    for (const std::string& line : log.lines())
        if (line.rfind("t_WindowAutoUpdateProcess:", 0) != 0) text += line + "\n";
    return text;
}
}  // namespace

TEST(ProgramEnd, LeavesTheClosingMessageInNormalDisplayOrOnlyLogsWithoutAWindow) {
    t_Window& w = textWindow();
    t_Print(0, "Ostrakonix");
    // A window without a host window, one out of range and one never set up only log; a
    // failure message of the drawing would split the log line.
    headless().setWindowExists(0, false);
    for (uint8_t window : {0, 13, 5})
        EXPECT_EQ(quitOnItsOwnThread(window), "t_QuitProgram: Quitting current thread.\n");
    headless().setWindowExists(0, true);
    EXPECT_EQ(screenLine(0, 25), "");

    t_Area(0, 10, 5, 40, 10);
    t_Inverse(0);
    t_DisplayMode(0, 2);  // would turn the capital P into a control code
    const uint8_t background = w.TextColor & 15;
    const int displayed = headless().window(0).displayed;
    EXPECT_EQ(quitOnItsOwnThread(0), "t_QuitProgram: Quitting current thread with message in window #0.\n");
    EXPECT_EQ(std::tuple(screenLine(0, 25), screenLine(0, 1)), std::tuple("(Programm Ende)", "Ostrakonix"));
    EXPECT_EQ(cellColour(0, 1, 25), 0x10 | background);  // colour 1 on the window's background, not inverse
    EXPECT_EQ(std::tuple(w.TextInverse, w.TextLastColumn), std::tuple(false, 80));
    EXPECT_GT(headless().window(0).displayed, displayed);  // shown at once, before the thread ended
    EXPECT_TRUE(headless().programHasEnded());
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
