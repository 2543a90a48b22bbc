#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/startup.h"
#include "app/threads.h"
#include "support/toolkit_fixture.h"

using namespace std::chrono_literals;

namespace {

template <typename Predicate>
bool waitFor(Predicate done, std::chrono::milliseconds limit = 5000ms) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace

TEST(Startup, HexTablesHoldDigitsAndBothCases) {
    const auto& digits = t_HexDigits();
    EXPECT_EQ(std::string(digits.begin(), digits.end()), "0123456789ABCDEF");
    const auto& values = t_HexValues();
    EXPECT_EQ(values['0'], 0);
    EXPECT_EQ(values['9'], 9);
    EXPECT_EQ(values['A'], 10);
    EXPECT_EQ(values['f'], 15);
    EXPECT_EQ(values['G'], -1);
    EXPECT_EQ(values['g'], -1);
    EXPECT_EQ(values[' '], -1);
    EXPECT_EQ(values[0xC6], -1);
}

TEST(Startup, BackToBackLaunchesRunEachEntryOnceOnItsOwnStack) {
    std::atomic<int> first{0}, second{0};
    std::atomic<size_t> stackSize{0};
    startprocess(
        [&] {
            pthread_attr_t attributes;
            pthread_getattr_np(pthread_self(), &attributes);
            size_t size = 0;
            pthread_attr_getstacksize(&attributes, &size);
            pthread_attr_destroy(&attributes);
            stackSize = size;
            first++;
        },
        app::programStackSize);
    // The second launch waits for the first thread to take its entry.
    startprocess([&] { second++; }, 1 << 20);
    ASSERT_TRUE(waitFor([&] { return first == 1 && second == 1; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_GE(stackSize.load(), static_cast<size_t>(app::programStackSize));
}

TEST(Startup, ThreadsAreNumberedInOrderAndTheHostMainThreadIsOne) {
    int mainNumber = 0;
    testing_support::headless().runOnMainSync([&] { mainNumber = kt::threadNumber(); });
    EXPECT_EQ(mainNumber, 1);

    std::atomic<int> a{0}, b{0};
    startasyncprocess([&] { a = kt::threadNumber(); });
    ASSERT_TRUE(waitFor([&] { return a != 0; }));
    startasyncprocess([&] {
        kt::nameThread("t_WindowAutoUpdate");
        b = kt::threadName() == "t_WindowAutoUpdate" ? kt::threadNumber() : -1;
    });
    ASSERT_TRUE(waitFor([&] { return b != 0; }));
    EXPECT_GT(a, 1);
    EXPECT_GT(b, a);
}

TEST(Startup, LaunchAndTerminationLogTheirPhasesAndRunTheHook) {
    testing_support::LogCapture log;
    std::atomic<bool> ran{false};
    bool hookRan = false;
    t_TerminationHook() = [&] { hookRan = true; };
    testing_support::headless().runOnMainSync([&] {
        app::applicationWillFinishLaunching();
        app::applicationDidFinishLaunching([&] { ran = true; });
    });
    ASSERT_TRUE(waitFor([&] { return ran.load(); }));
    testing_support::headless().runOnMainSync([] { app::applicationWillTerminate(); });
    t_TerminationHook() = [] {};
    EXPECT_TRUE(hookRan);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "applicationWillFinishLaunching: Called.",
                               "applicationDidFinishLaunching: Start.",
                               "initketools: Start.",
                               "initketools: End.",
                               "Program: Start.",
                               "applicationDidFinishLaunching: End.",
                               "applicationWillTerminate: Called.",
                           }));
    EXPECT_EQ(t_TitleBarHeight(), 22);
}
