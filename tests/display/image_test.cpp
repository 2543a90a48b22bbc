#include "display/image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "display/setup.h"
#include "host/placement.h"
#include "support/toolkit_fixture.h"

using testing_support::LogCapture;

namespace {
const std::string editorFont = "DejaVuSansMono 16x32.font";

// A shown window of the given depth without a text font, 64 × 32 pixels.
t_Window& shownWindow(uint8_t n, int64_t depth) {
    t_Font none;
    kt::setUpWindow(n, depth, false, 64, 32, 0, 0, none, true);
    t_WindowVisible(n, true);
    return kt::windowRecord(n);
}

uint32_t pixel(const host::Image& image, int x, int y) { return image.pixels[static_cast<size_t>(y * image.width + x)]; }
}  // namespace

TEST(WindowImage, EveryDepthConvertsToColours) {
    {
        t_Window& w = shownWindow(1, 1);
        kt::display().memory[w.MemoryStart] = 0x80;
        auto image = t_WindowImage(1);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, 64);
        EXPECT_EQ(pixel(*image, 0, 0), 0xFFFFFFFFu);
        for (int x = 1; x < 8; ++x) EXPECT_EQ(pixel(*image, x, 0), 0xFF000000u);
    }
    {
        t_Window& w = shownWindow(1, 4);
        kt::display().memory[w.MemoryStart] = 0x1F;
        auto image = t_WindowImage(1);
        EXPECT_EQ(pixel(*image, 0, 0), 0xFFFF0000u);
        EXPECT_EQ(pixel(*image, 1, 0), 0xFFFFFFFFu);
    }
    {
        t_Window& w = shownWindow(1, 16);
        kt::display().memory[w.MemoryStart] = 0x12;
        kt::display().memory[w.MemoryStart + 1] = 0x80;
        EXPECT_EQ(pixel(*t_WindowImage(1), 0, 0), 0xFF808080u);
    }
    {
        t_Window& w = shownWindow(1, 24);
        auto* m = &kt::display().memory[w.MemoryStart + 3 * 64];  // second row
        m[0] = 1, m[1] = 2, m[2] = 3;
        EXPECT_EQ(pixel(*t_WindowImage(1), 0, 1), 0xFF010203u);
    }
    {
        shownWindow(1, 32);  // cleared to 255, 0, 0, 0: the first byte is ignored
        EXPECT_EQ(pixel(*t_WindowImage(1), 5, 5), 0xFF000000u);
    }
}

TEST(WindowImage, HiddenOrMissingWindowsGiveNoPicture) {
    shownWindow(2, 8);
    t_WindowVisible(2, false);
    LogCapture log;
    EXPECT_FALSE(t_WindowImage(2));
    EXPECT_EQ(log.text(), "");
    EXPECT_FALSE(t_WindowImage(5));
    t_WindowUpdate(9, true);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"t_WindowImage: Graphic window #5 not initialized.",
                                                     "t_WindowUpdate: Window is not a graphic window."}));
}

TEST(WindowImage, UpdateNowRedrawsTheViewBeforeItReturns) {
    t_Window& w = shownWindow(3, 24);
    auto& h = testing_support::headless();
    int before = h.window(3).displayed;
    kt::display().memory[w.MemoryStart] = 0xAB;
    kt::touchWindow(3);
    t_WindowUpdate(3, false);
    EXPECT_EQ(h.window(3).displayed, before + 1);
    auto shown = h.viewImage(3);
    ASSERT_TRUE(shown);
    EXPECT_EQ(pixel(*shown, 0, 0) >> 16 & 0xFF, 0xABu);
}

TEST(WindowImage, TheUpdateThreadMarksAWindowAtItsRefreshRate) {
    auto& h = testing_support::headless();
    t_Window& w = shownWindow(4, 8);
    w.RefreshRate = 20;
    w.AutoUpdate = true;
    int start = h.window(4).displayed;
    // The window changes all the time; each change is shown at most 20 times a second.
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < until) {
        kt::touchWindow(4);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    int marks = h.window(4).displayed - start;
    // At most 20 a second for half a second.
    EXPECT_LE(marks, 11);
    EXPECT_GE(marks, 1);  // it runs; a slow or instrumented build may mark less often
    EXPECT_TRUE(kt::display().updateThreadRunning);
    // Unchanged, it is not marked again.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int idle = h.window(4).displayed;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(h.window(4).displayed, idle);
}
