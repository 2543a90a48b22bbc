#include "app/startup.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/threads.h"
#include "support/toolkit_fixture.h"

using namespace std::chrono_literals;
using namespace testing_support;

// The digit tables are read by the editor's hexadecimal entry, search and screen, which its
// reference-model test and the end-to-end scripts check.

TEST(Startup, BackToBackLaunchesRunEachEntryOnceOnItsOwnStackAndThreadsAreNumberedInOrder) {
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
    ASSERT_TRUE(waitUntil([&] { return first == 1 && second == 1; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(first == 1 && second == 1 && stackSize >= size_t{app::programStackSize}) << stackSize;

    // The host's main thread is number 1; later threads count on.
    std::atomic<int> mainNumber{0}, a{0}, b{0};
    headless().runOnMainSync([&] { mainNumber = kt::threadNumber(); });
    startasyncprocess([&] { a = kt::threadNumber(); });
    ASSERT_TRUE(waitUntil([&] { return a != 0; }));
    startasyncprocess([&] { b = kt::threadNumber(); });
    ASSERT_TRUE(waitUntil([&] { return b != 0; }));
    EXPECT_EQ(std::tuple(mainNumber.load(), a > 1, b > a), std::tuple(1, true, true));
}

TEST(Startup, LaunchAndTerminationLogTheirPhasesAndRunTheHook) {
    LogCapture log;
    std::atomic<int> ran{0};  // the program, then the hook
    t_TerminationHook() = [&] { ++ran; };
    headless().runOnMainSync([&] {
        app::applicationWillFinishLaunching();
        app::applicationDidFinishLaunching([&] { ++ran; });
    });
    ASSERT_TRUE(waitUntil([&] { return ran == 1; }));
    headless().runOnMainSync([] { app::applicationWillTerminate(); });
    t_TerminationHook() = [] {};
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(log.text(),
              "applicationWillFinishLaunching: Called.\napplicationDidFinishLaunching: Start.\ninitketools: Start.\n"
              "initketools: End.\nProgram: Start.\napplicationDidFinishLaunching: End.\n"
              "applicationWillTerminate: Called.\n");
}
