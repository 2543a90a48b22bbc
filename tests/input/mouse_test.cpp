#include "input/mouse.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "display/placement.h"
#include "input/entries.h"
#include "input/file_events.h"
#include "support/toolkit_fixture.h"

using namespace testing_support;
using Cell = std::pair<int64_t, int64_t>;

namespace {
// A click at position (x, y) of window n's drawing area (y from its top).
void click(uint8_t n, double x, double y, bool right = false, uint64_t flags = 0) {
    const t_Window& w = kt::windowRecord(n);
    host::MouseEvent e{x + static_cast<double>(w.BorderWidth), static_cast<double>(w.BorderHeight + w.Height) - y,
                       right ? 2u : 1u, flags};
    headless().runOnMainSync([&] { viewMouseDown(n, e, right); });
}
}  // namespace

TEST(Mouse, ClicksBecomeCellsOfTheirOwnWindowOrOutsideTheCloseBoxHidesAndFilesQueue) {
    textWindow(0);
    textWindow(1, 10, 5);
    kt::mouseQueue().clear();
    std::atomic<int> runs{0};
    t_ProgramMouseHandler() = [&] { runs++; };
    LogCapture log;
    click(0, 17, 40);
    click(0, 16 * 79 + 3, 32 * 24 + 31);
    click(1, 5, 5, true, host::modifier::function);
    EXPECT_TRUE(waitUntil([&] { return runs == 3; }));
    t_ProgramMouseHandler() = [] {};
    EXPECT_TRUE(t_RightMouseDown() && !t_LeftMouseDown());
    // Window 1's event is taken first; window 0's stay queued in order.
    EXPECT_EQ(t_GetMouseText(1), Cell(1, 1));
    const t_Event taken = t_LastMouseEvent();
    EXPECT_EQ(std::tuple(taken.FnPressed, taken.FunctionKeyPressed, taken.Index), std::tuple(true, false, 2));
    for (Cell cell : {Cell(2, 2), Cell(80, 25), Cell(-1, -1)}) EXPECT_EQ(t_GetMouseText(0), cell);
    EXPECT_EQ(std::tuple(t_LastMouseEvent().ClickX, t_MouseEventAvailable()), std::tuple(16 * 79 + 3, false));
    EXPECT_THAT(log.text(), testing::StartsWith("t_MouseEventHandler: Graphic #0 window, X = 17, Y = 40\n"));
    headless().runOnMainSync([] { viewMouseUp(1); });
    EXPECT_FALSE(t_RightMouseDown());

    // Clicks in the border count as outside the area.
    t_Window& w = textWindow(0);
    kt::mouseQueue().clear();
    click(0, -5, -3);
    click(0, static_cast<double>(w.Width) + 2, static_cast<double>(w.Height) + 1);
    auto events = t_MouseEventQueue();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(std::tuple(events[0].ClickX, events[0].ClickY, events[1].ClickX, events[1].ClickY),
              std::tuple(-1, -1, -2, -2));
    EXPECT_EQ(t_GetMouseText(0), Cell(1, 1));
    kt::mouseQueue().clear();
    headless().runOnMainSync([] { t_MouseEventHandler(9, {}, 3.7, 4.2); });
    EXPECT_THAT(log.text(), testing::HasSubstr("t_MouseEventHandler: Unknown window, AbsX = 3, AbsY = 4\n"
                                               "t_MouseEventHandler:  window, X = -3, Y = -3\n"));
    EXPECT_EQ(kt::mouseQueue().size(), 0u);

    // The close box hides the window without an event.
    t_WindowFront(0);
    LogCapture closing;
    bool closes = true;
    headless().runOnMainSync([&] { closes = windowShouldClose(0); });
    EXPECT_EQ(std::tuple(closes, headless().window(0).shown, kt::windowRecord(0).Visible.load(),
                         kt::mouseQueue().size(), closing.text()),
              std::tuple(false, false, false, 0u, "t_MouseEventPostCloseBoxClick: Window = 0\n"));
    t_WindowFront(0);
    EXPECT_TRUE(headless().window(0).shown);

    // Files opened from the desktop queue in order with their status: file, folder, nothing.
    TempFolder folder;
    writeFile(folder.file("a.bin"), {1});
    const std::string names[] = {folder.file("a.bin"), folder.path(), folder.file("missing")};
    headless().runOnMainSync([&] {
        for (auto& name : names) f_FileEventHandler(name, 0);
    });
    using Taken = std::tuple<int64_t, int64_t, std::string>;  // kind, status, path
    std::vector<Taken> files;
    for (const t_Event& e : t_FileEventQueue()) files.emplace_back(e.Kind, e.Value, t_GetFileEvent());
    EXPECT_EQ(files, (std::vector<Taken>{{4, 1, names[0]}, {4, 2, names[1]}, {4, 0, names[2]}}));
    EXPECT_EQ(std::tuple(t_GetFileEvent(), t_FileEventAvailable(), t_LastFileEvent().Description),
              std::tuple("", false, names[2]));
}
