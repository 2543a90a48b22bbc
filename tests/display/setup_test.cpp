#include "display/setup.h"

#include <gtest/gtest.h>

#include "app/log.h"
#include "display/font.h"
#include "host/placement.h"
#include "support/toolkit_fixture.h"

using testing_support::LogCapture;

namespace {
const std::string editorFont = "DejaVuSansMono 16x32.font";

std::string p(int n) { return "t_InitWindow: GraphicWindow #" + std::to_string(n); }

uint8_t at(int64_t address) { return kt::display().memory[static_cast<size_t>(address)]; }
}  // namespace

// Runs first in its process: the editor's window takes the top of a fresh video memory.
TEST(WindowSetUp, TheEditorsWindowTakesTheTopBlocks) {
    LogCapture log;
    t_InitWindow(0, 24, 80, 25, 16, editorFont);
    const t_Window& w = kt::windowRecord(0);
    ASSERT_TRUE(w.Initialized);
    EXPECT_EQ(w.Width, 1280);
    EXPECT_EQ(w.Height, 800);
    EXPECT_EQ(w.MemoryEnd, 0xFFFFFF);
    EXPECT_EQ(w.MemoryStart, 0xD12000);
    EXPECT_EQ(w.TextMemoryEnd, 0xD11FFF);
    EXPECT_EQ(w.TextMemoryStart, 0xD11000);
    EXPECT_EQ(kt::textHalf(w), 2048);
    EXPECT_EQ(kt::display().highMemory, 0xD10FFF);
    EXPECT_EQ(w.TextWidth, 80);
    EXPECT_EQ(w.TextHeight, 25);
    EXPECT_EQ(w.TextColor, 192);
    EXPECT_EQ(w.TitleHeight, 22);
    EXPECT_EQ(w.RGBColorBorder, (t_RGBColor{255, 0x54, 0x54, 0x54}));
    EXPECT_EQ(kt::display().defaultWindow, 0);
    // Cleared: black pixels, blank cells in green on black.
    EXPECT_EQ(at(w.MemoryStart), 0);
    EXPECT_EQ(at(w.MemoryStart + 3 * 1280 * 800 - 1), 0);
    EXPECT_EQ(at(w.TextMemoryStart + 79 + 80 * 24), 32);
    EXPECT_EQ(at(w.TextMemoryStart + 2048 + 79 + 80 * 24), 192);

    auto lines = log.lines();
    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("t_InitMemory: Start."));
    EXPECT_TRUE(has("t_InitMemory: End."));
    EXPECT_TRUE(has(p(0) + " Start."));
    EXPECT_TRUE(has(p(0) + " = 1280 x 800 pixel x 24 bit = 3000K video-memory = $00D12000."));
    EXPECT_TRUE(has(p(0) + " End."));

    auto state = testing_support::headless().window(0);
    EXPECT_EQ(state.title, "Ostrakonix");
    EXPECT_EQ(state.frame.width, 1312);
    EXPECT_EQ(state.frame.height, 832 + 22);
    EXPECT_EQ(state.viewFrame.x, 16);
    EXPECT_EQ(state.viewFrame.width, 1280);
    EXPECT_NEAR(state.background.red, 0x54 / 255.0, 1e-9);

    LogCapture again;
    t_InitMemory();  // a second start-up does nothing
    EXPECT_EQ(again.text(), "");
}

TEST(WindowSetUp, ReinitialisingMovesTheWindowsBelowUpWithTheirContent) {
    t_InitWindow(0, 24, 80, 25, 16, editorFont);
    t_InitWindow(1, 8, 10, 4, 0, editorFont);
    t_Window& w0 = kt::windowRecord(0);
    t_Window& w1 = kt::windowRecord(1);
    ASSERT_TRUE(w1.Initialized);
    auto& memory = kt::display().memory;
    const int64_t start1 = w1.MemoryStart, end1 = w1.MemoryEnd, text1 = w1.TextMemoryStart;
    const int64_t textEnd1 = w1.TextMemoryEnd;
    memory[start1] = 0x11;
    memory[end1] = 0x22;
    memory[text1] = 'Q';
    const int64_t graphicSize = w0.MemoryEnd - w0.MemoryStart + 1;
    const int64_t textSize = w0.TextMemoryEnd - w0.TextMemoryStart + 1;
    const int64_t freed = graphicSize + textSize;
    const int64_t top = w0.MemoryEnd, high = kt::display().highMemory;

    LogCapture log;
    t_InitWindow(0, 24, 40, 10, 8, editorFont);
    auto lines = log.lines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], p(0) + " Start.");
    EXPECT_EQ(lines[1], p(0) + " high memory = " + kt::hex8(top) + ", graphic block size to delete = " +
                            kt::hex8(graphicSize) + ".");
    EXPECT_EQ(lines[2], p(0) + " high memory = " + kt::hex8(top) + ", text block size to delete = " +
                            kt::hex8(textSize) + ".");
    EXPECT_EQ(lines[3], p(0) + " moving graphic block for win #1 " + kt::hex8(start1) + "..." +
                            kt::hex8(end1).substr(1) + " to " + kt::hex8(start1 + freed).substr(1) + "..." +
                            kt::hex8(end1 + freed).substr(1));
    EXPECT_EQ(lines[4], p(0) + " moving text block for win #1 " + kt::hex8(text1) + "..." +
                            kt::hex8(textEnd1).substr(1) + " to " + kt::hex8(text1 + freed) + "..." +
                            kt::hex8(textEnd1 + freed).substr(1));
    EXPECT_EQ(w1.MemoryStart, start1 + freed);
    EXPECT_EQ(w1.TextMemoryStart, text1 + freed);
    EXPECT_EQ(memory[w1.MemoryStart], 0x11);
    EXPECT_EQ(memory[w1.MemoryEnd], 0x22);
    EXPECT_EQ(memory[w1.TextMemoryStart], 'Q');
    // Window 0's new blocks are taken below window 1's moved ones.
    EXPECT_LT(w0.MemoryEnd, w1.TextMemoryStart);
    EXPECT_EQ(w0.MemoryEnd, high + freed);
}

TEST(WindowSetUp, SizesAreCorrectedAndBadDepthsRefused) {
    t_Font font = t_LoadFontResource(editorFont);
    LogCapture log;
    kt::setUpWindow(2, 8, true, 20, 9000, 0, 0, font, true);
    EXPECT_EQ(kt::windowRecord(2).Width, 1280);
    EXPECT_EQ(kt::windowRecord(2).Height, 800);
    kt::setUpWindow(3, 1, true, 100, 64, 0, 0, font, true);
    EXPECT_EQ(kt::windowRecord(3).Width, 104);
    kt::setUpWindow(4, 4, true, 81, 64, 0, 0, font, true);
    EXPECT_EQ(kt::windowRecord(4).Width, 80);
    kt::setUpWindow(4, 4, true, 83, 64, 0, 0, font, true);
    EXPECT_EQ(kt::windowRecord(4).Width, 84);
    kt::setUpWindow(5, 2, true, 100, 64, 0, 0, font, true);
    EXPECT_FALSE(kt::windowRecord(5).Initialized);
    kt::setUpWindow(6, 32, true, 8192, 8192, 0, 0, font, true);
    EXPECT_FALSE(kt::windowRecord(6).Initialized);
    t_InitWindow(8, 24, 10, 10, 0, editorFont);
    t_InitWindow(6, 24, 10, 10, 0, "missing.font");
    auto text = log.text();
    EXPECT_NE(text.find(p(2) + " cannot display 20 horizontal pixel."), std::string::npos);
    EXPECT_NE(text.find(p(2) + " cannot display 9000 vertical pixel."), std::string::npos);
    EXPECT_NE(text.find(p(3) + " width with 1 bit depth must be a multiple of 8."), std::string::npos);
    EXPECT_NE(text.find(p(4) + " width with 4 bit depth must be a multiple of 4."), std::string::npos);
    EXPECT_NE(text.find(p(5) + " unsupported 2 bit depth."), std::string::npos);
    EXPECT_NE(text.find(p(6) + " has not enough graphic-video-memory ("), std::string::npos);
    EXPECT_NE(text.find("t_InitWindow: Displaying 8192 x 8192 pixel x 32 bit needs 262144K video-memory."),
              std::string::npos);
    EXPECT_NE(text.find("t_InitWindow: Window is not a graphic window."), std::string::npos);
    EXPECT_NE(text.find("t_InitWindow: Font 'missing.font' not found."), std::string::npos);
}

TEST(WindowSetUp, AWindowWithoutHostViewIsNotInitialisedButKeepsItsBlocks) {
    auto& h = testing_support::headless();
    h.setWindowExists(7, false);
    t_InitWindow(0, 24, 80, 25, 16, editorFont);  // the memory exists
    const int64_t high = kt::display().highMemory;
    LogCapture log;
    t_InitWindow(7, 24, 10, 2, 0, editorFont);
    h.setWindowExists(7, true);
    EXPECT_FALSE(kt::windowRecord(7).Initialized);
    EXPECT_TRUE(kt::windowRecord(7).Font.Data.empty());
    EXPECT_LT(kt::display().highMemory, high);
    EXPECT_NE(log.text().find(p(7) + " could not be initialized, resource undefined."), std::string::npos);
}
