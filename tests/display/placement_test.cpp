// The Qt host's suites check the placement on a real desktop too: QtHost.WindowZero... the
// frame and view after the set-up, QtHost.TitleFromAnotherThread... a title set from the
// program thread, QtDesktop.SideWindowsShowTheirText... the pasteboard window's copy of the
// pasteboard each time it is shown.
#include "display/placement.h"

#include <gtest/gtest.h>

#include "display/setup.h"
#include "support/toolkit_fixture.h"

using namespace testing_support;

TEST(WindowPlacement, SelectorsSizeTitleBarVisibilityFocusAndMissingWindows) {
    if (!kt::memoryReady() || !kt::windowRecord(0).Initialized)
        t_InitWindow(0, 24, 80, 25, 16, "DejaVuSansMono 16x32.font");
    const int64_t t = 22;  // the title bar
    const std::pair<int, int64_t> selectors[] = {{8, 1280}, {9, 800}, {10, 1312}, {11, 832}, {12, 832 + t}, {17, t},
                                                 {18, 16},  {19, 16}, {4, 80},    {7, 25},   {15, 1920},    {99, 0}};
    for (auto [selector, value] : selectors) EXPECT_EQ(t_WindowPos(0, selector), value) << selector;
    EXPECT_EQ(t_WindowPos(4), 80);  // the default window
    t_WindowSize(0, 100, 50, -1, -1);
    EXPECT_EQ(std::tuple(t_WindowPos(0, 13), t_WindowPos(0, 20), t_WindowPos(0, 14)),
              std::tuple(100, 50, 1080 - 50 - (832 + t)));
    // Sizing with -1 keeps the origin; the title bar can be hidden.
    t_WindowSize(0, -1, -1, -1, -1);
    auto state = headless().window(0);
    EXPECT_EQ(
        std::tuple(state.frame.width, state.frame.height, state.viewFrame.x, state.viewFrame.y, state.viewFrame.height),
        std::tuple(1312, 832 + 22, 16, 16, 800));
    t_WindowTitleVisible(0, false);
    EXPECT_EQ(std::tuple(t_WindowPos(0, 17), t_WindowPos(0, 12), headless().window(0).titled),
              std::tuple(0, 832, false));
    t_WindowTitleVisible(0, true);
    EXPECT_EQ(t_WindowPos(0, 12), 832 + 22);
    // Side windows answer from their host frame.
    t_WindowSize(9, 10, 20, 400, 300);
    EXPECT_EQ(std::tuple(t_WindowPos(9, 12), t_WindowPos(9, 9), t_WindowPos(9, 2)), std::tuple(300 + t, 300, 399));

    t_WindowFront(0);
    EXPECT_EQ(std::tuple(kt::windowRecord(0).Visible.load(), t_MainWindowNumber()), std::tuple(true, 0));
    t_WindowVisible(0, false);
    EXPECT_EQ(std::tuple(kt::windowRecord(0).Visible.load(), t_MainWindowNumber()), std::tuple(false, 255));
    t_WindowCenter(12);
    auto frame = headless().window(12).frame;
    EXPECT_EQ(frame.x, (1920 - frame.width) / 2);
    // Missing windows, side windows and borders are reported, without an alert.
    headless().setWindowExists(10, false);
    int alerts = headless().alerts();
    LogCapture log;
    EXPECT_EQ(t_WindowPos(13, 0), 0);
    t_WindowVisible(10, true);
    t_ColorBorder(8, 3);
    t_ColorBorder(6, 3);
    headless().setWindowExists(10, true);
    EXPECT_EQ(log.text(),
              "t_WindowPos: Window does not exist.\nt_WindowVisible: Window does not exist.\n"
              "t_ColorBorder: Window is not a graphic window.\nt_ColorBorder: Window #6 not initialized.\n");
    EXPECT_EQ(headless().alerts(), alerts);
}
