// What the Qt host's test programs share: the host, the GUI thread's waiting and their main.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <utility>

#include "app/log.h"
#include "app/startup.h"
#include "app/threads.h"
#include "display/setup.h"
#include "hosts/qt/qt_host.h"

namespace qt_test {

// Kept past the QApplication: toolkit threads may still call it while the program ends.
inline host::qt::QtHost* qtHost = nullptr;

// Spins the GUI thread's event loop until done() or the time is up.
inline bool spinUntil(const std::function<bool()>& done, int milliseconds = 10000) {
    return QTest::qWaitFor(done, milliseconds);
}

// Runs fn on a thread of its own while the GUI thread answers its calls to the main thread.
inline void runOffMain(const std::function<void()>& fn) {
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        fn();
        finished = true;
    });
    const bool inTime = spinUntil([&] { return finished.load(); });
    worker.join();
    ASSERT_TRUE(inTime) << "the call on the other thread did not finish";
}

// Answers the next modal file dialog once it is open: answer gets the dialog.
inline void answerPanel(std::function<void(QFileDialog*)> answer) {
    QTimer::singleShot(0, [answer = std::move(answer)] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(dialog);
    });
}

// Runs the tests with a Qt host as the program's; launch() starts the toolkit.
inline int runTests(int argc, char** argv, const std::function<void()>& launch) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" OSTRAKONIX_TEST_SCREENS);
    ::testing::InitGoogleTest(&argc, argv);
    kt::claimThreadNumber(1);
    QApplication application(argc, argv);
    // The toolkit's log lines would bury the test report.
    if (std::FILE* quiet = std::fopen("/dev/null", "w")) kt::setLogStream(quiet);
    qtHost = new host::qt::QtHost(OSTRAKONIX_TEST_RESOURCES);
    host::setHost(qtHost);
    app::applicationWillFinishLaunching();
    launch();
    const int result = RUN_ALL_TESTS();
    qtHost->stopAccepting();
    kt::display().updateThreadRunning = false;
    qtHost->shutDown();
    return result;
}

}  // namespace qt_test
