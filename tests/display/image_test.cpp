#include "display/image.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "display/placement.h"
#include "display/setup.h"
#include "support/toolkit_fixture.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {
// A shown window of the given depth without a text font, 64 × 32 pixels.
t_Window& shownWindow(uint8_t n, int64_t depth) {
    t_Font none;
    kt::setUpWindow(n, depth, false, 64, 32, 0, 0, none, true);
    t_WindowVisible(n, true);
    return kt::windowRecord(n);
}

// The colour of pixel (x, y) of a fresh window 1 of the given depth whose memory holds the given bytes.
uint32_t pixelOf(int64_t depth, std::initializer_list<std::pair<int64_t, uint8_t>> bytes, int x, int y) {
    t_Window& w = shownWindow(1, depth);
    for (auto [offset, byte] : bytes) kt::display().memory[w.MemoryStart + offset] = byte;
    auto image = t_WindowImage(1);
    EXPECT_TRUE(image && image->width == 64 && image->height == 32);
    return image ? image->pixels.at(y * image->width + x) : 0;
}
}  // namespace

TEST(WindowImage, EveryDepthConvertsHiddenOrMissingWindowsGiveNoPictureUpdatesRedrawOrMarkAtTheRefreshRate) {
    EXPECT_EQ(pixelOf(1, {{0, 0x80}}, 0, 0), 0xFFFFFFFFu);
    for (int x = 1; x < 8; ++x) EXPECT_EQ(pixelOf(1, {{0, 0x80}}, x, 0), 0xFF000000u);
    EXPECT_EQ(pixelOf(4, {{0, 0x1F}}, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(pixelOf(4, {{0, 0x1F}}, 1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(pixelOf(16, {{0, 0x12}, {1, 0x80}}, 0, 0), 0xFF808080u);
    EXPECT_EQ(pixelOf(24, {{3 * 64, 1}, {3 * 64 + 1, 2}, {3 * 64 + 2, 3}}, 0, 1), 0xFF010203u);  // second row
    EXPECT_EQ(pixelOf(32, {}, 5, 5), 0xFF000000u);  // cleared to 255, 0, 0, 0: the first byte is ignored

    // Hidden (without a message) or missing windows give no picture.
    shownWindow(2, 8);
    t_WindowVisible(2, false);
    LogCapture log;
    EXPECT_FALSE(t_WindowImage(2) || t_WindowImage(5));
    t_WindowUpdate(9, true);
    EXPECT_EQ(log.text(),
              "t_WindowImage: Graphic window #5 not initialized.\nt_WindowUpdate: Window is not a graphic window.\n");
    // Updating now redraws the view before it returns.
    t_Window& w = shownWindow(3, 24);
    int before = headless().window(3).displayed;
    kt::display().memory[w.MemoryStart] = 0xAB;
    kt::touchWindow(3);
    t_WindowUpdate(3, false);
    auto shown = headless().viewImage(3);
    EXPECT_EQ(std::tuple(headless().window(3).displayed, shown ? shown->pixels.at(0) >> 16 & 0xFF : 0),
              std::tuple(before + 1, 0xABu));

    // The update thread marks a window at its refresh rate.
    t_Window& marked = shownWindow(4, 8);
    marked.RefreshRate = 20;
    marked.AutoUpdate = true;
    int start = headless().window(4).displayed;
    // The window changes all the time for 300 ms; it is marked at most 20 times a second.
    for (auto until = std::chrono::steady_clock::now() + 300ms; std::chrono::steady_clock::now() < until;) {
        kt::touchWindow(4);
        std::this_thread::sleep_for(2ms);
    }
    int marks = headless().window(4).displayed - start;
    EXPECT_TRUE(marks >= 1 && marks <= 7) << marks;  // it runs; a slow or instrumented build may mark less often
    // Unchanged, it is not marked again.
    std::this_thread::sleep_for(100ms);
    int idle = headless().window(4).displayed;
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(headless().window(4).displayed, idle);
}

TEST(WindowImage, AWindowSetUpAnewWhileAViewConvertsItIsNeverReadPastItsPicture) {
    LogCapture quiet;
    std::atomic<bool> stop{false};
    std::atomic<int> pictures{0};
    std::thread view([&] {
        host::Image image;
        while (!stop) {
            if (t_WindowImage(2, image)) {
                ++pictures;
                EXPECT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
            }
        }
    });
    // A thousand set-ups at least, and more until the view has made a picture (a busy machine
    // may not let it run in between).
    const auto until = std::chrono::steady_clock::now() + 10s;
    for (int i = 0; i < 1000 || (pictures == 0 && std::chrono::steady_clock::now() < until); ++i) {
        const bool large = i % 2 == 0;
        kt::setUpWindow(2, large ? 24 : 8, false, large ? 1024 : 64, large ? 768 : 32, 0, 0, t_Font{}, true);
        t_WindowVisible(2, true);
    }
    stop = true;
    view.join();
    EXPECT_GT(pictures, 0);
    // A record caught half set up, naming pixels beyond the memory, gives no picture.
    t_Window& w = shownWindow(2, 24);
    w.MemoryStart = static_cast<int64_t>(kt::display().memory.size()) - 10;
    EXPECT_FALSE(t_WindowImage(2));
    shownWindow(2, 24);
}
