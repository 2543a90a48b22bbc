#include "app/startup.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/threads.h"
#include "support/toolkit_fixture.h"

using namespace std::chrono_literals;
using testing_support::headless;

TEST(Startup, HexTablesHoldDigitsAndBothCases) {
    const auto& digits = t_HexDigits();
    EXPECT_EQ(std::string(digits.begin(), digits.end()), "0123456789ABCDEF");
    const auto& v = t_HexValues();
    EXPECT_EQ((std::vector<int>{v['0'], v['9'], v['A'], v['f'], v['G'], v['g'], v[' '], v[0xC6]}),
              (std::vector<int>{0, 9, 10, 15, -1, -1, -1, -1}));
}

TEST(Startup, BackToBackLaunchesRunEachEntryOnceOnItsOwnStack) {
    std::atomic<int> first{0}, second{0};
    size_t stackSize = 0;  // read once the first thread has counted
    startprocess(
        [&] {
            pthread_attr_t attributes;
            pthread_getattr_np(pthread_self(), &attributes);
            pthread_attr_getstacksize(&attributes, &stackSize);
            pthread_attr_destroy(&attributes);
            first++;
        },
        app::programStackSize);
    // The second launch waits for the first thread to take its entry.
    startprocess([&] { second++; }, 1 << 20);
    ASSERT_TRUE(testing_support::waitUntil([&] { return first == 1 && second == 1; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(std::tuple(first.load(), second.load()), std::tuple(1, 1));
    EXPECT_GE(stackSize, static_cast<size_t>(app::programStackSize));
}

TEST(Startup, ThreadsAreNumberedInOrderAndTheHostMainThreadIsOne) {
    int mainNumber = 0;
    headless().runOnMainSync([&] { mainNumber = kt::threadNumber(); });
    EXPECT_EQ(mainNumber, 1);
    std::atomic<int> a{0}, b{0};
    startasyncprocess([&] { a = kt::threadNumber(); });
    ASSERT_TRUE(testing_support::waitUntil([&] { return a != 0; }));
    startasyncprocess([&] {
        kt::nameThread("t_WindowAutoUpdate");
        b = kt::threadName() == "t_WindowAutoUpdate" ? kt::threadNumber() : -1;
    });
    ASSERT_TRUE(testing_support::waitUntil([&] { return b != 0; }));
    EXPECT_GT(a, 1);
    EXPECT_GT(b, a);
}

TEST(Startup, LaunchAndTerminationLogTheirPhasesAndRunTheHook) {
    testing_support::LogCapture log;
    std::atomic<bool> ran{false};
    bool hookRan = false;
    t_TerminationHook() = [&] { hookRan = true; };
    headless().runOnMainSync([&] {
        app::applicationWillFinishLaunching();
        app::applicationDidFinishLaunching([&] { ran = true; });
    });
    ASSERT_TRUE(testing_support::waitUntil([&] { return ran.load(); }));
    headless().runOnMainSync([] { app::applicationWillTerminate(); });
    t_TerminationHook() = [] {};
    EXPECT_TRUE(hookRan);
    EXPECT_EQ(log.text(),
              "applicationWillFinishLaunching: Called.\napplicationDidFinishLaunching: Start.\ninitketools: Start.\n"
              "initketools: End.\nProgram: Start.\napplicationDidFinishLaunching: End.\n"
              "applicationWillTerminate: Called.\n");
    EXPECT_EQ(t_TitleBarHeight(), 22);
}
