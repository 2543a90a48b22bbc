#include "display/setup.h"

#include <gtest/gtest.h>

#include "app/log.h"
#include "display/font.h"
#include "display/placement.h"
#include "support/toolkit_fixture.h"

using testing_support::LogCapture;
using Values = std::vector<int64_t>;

namespace {
const std::string editorFont = "DejaVuSansMono 16x32.font";

std::string p(int n) { return "t_InitWindow: GraphicWindow #" + std::to_string(n); }

// Every one of the lines must be somewhere in the log text.
void expectLogged(const std::string& text, const std::vector<std::string>& lines) {
    for (const auto& line : lines) EXPECT_NE(text.find(line + "\n"), std::string::npos) << line;
}
}  // namespace

// Runs first in its process: the editor's window takes the top of a fresh video memory.
TEST(WindowSetUp, TheEditorsWindowTakesTheTopBlocks) {
    LogCapture log;
    t_InitWindow(0, 24, 80, 25, 16, editorFont);
    const t_Window& w = kt::windowRecord(0);
    ASSERT_TRUE(w.Initialized);
    EXPECT_EQ((Values{w.Width, w.Height, w.MemoryEnd, w.MemoryStart, w.TextMemoryEnd, w.TextMemoryStart,
                      kt::textHalf(w), kt::display().highMemory}),
              (Values{1280, 800, 0xFFFFFF, 0xD12000, 0xD11FFF, 0xD11000, 2048, 0xD10FFF}));
    EXPECT_EQ((Values{w.TextWidth, w.TextHeight, w.TextColor, w.TitleHeight, kt::display().defaultWindow}),
              (Values{80, 25, 192, 22, 0}));
    EXPECT_EQ(w.RGBColorBorder, (t_RGBColor{255, 0x54, 0x54, 0x54}));
    // Cleared: black pixels, blank cells in green on black.
    auto& memory = kt::display().memory;
    EXPECT_EQ((Values{memory[w.MemoryStart], memory[w.MemoryStart + 3 * 1280 * 800 - 1],
                      memory[w.TextMemoryStart + 79 + 80 * 24], memory[w.TextMemoryStart + 2048 + 79 + 80 * 24]}),
              (Values{0, 0, 32, 192}));
    expectLogged(log.text(),
                 {"t_InitMemory: End.", p(0) + " = 1280 x 800 pixel x 24 bit = 3000K video-memory = $00D12000."});
    auto state = testing_support::headless().window(0);
    EXPECT_EQ(std::tuple(state.title, state.frame.width, state.frame.height, state.viewFrame.x, state.viewFrame.width),
              std::tuple("Ostrakonix", 1312, 832 + 22, 16, 1280));
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
    auto hex = [](int64_t v, bool dollar = false) { return kt::hex8(v).substr(dollar ? 0 : 1); };

    LogCapture log;
    t_InitWindow(0, 24, 40, 10, 8, editorFont);
    expectLogged(
        log.text(),
        {p(0) + " high memory = " + hex(top, true) + ", graphic block size to delete = " + hex(graphicSize, true) + ".",
         p(0) + " high memory = " + hex(top, true) + ", text block size to delete = " + hex(textSize, true) + ".",
         p(0) + " moving graphic block for win #1 " + hex(start1, true) + "..." + hex(end1) + " to " +
             hex(start1 + freed) + "..." + hex(end1 + freed),
         p(0) + " moving text block for win #1 " + hex(text1, true) + "..." + hex(textEnd1) + " to " +
             hex(text1 + freed, true) + "..." + hex(textEnd1 + freed)});
    EXPECT_EQ((Values{w1.MemoryStart, w1.TextMemoryStart, memory[w1.MemoryStart], memory[w1.MemoryEnd],
                      memory[w1.TextMemoryStart]}),
              (Values{start1 + freed, text1 + freed, 0x11, 0x22, 'Q'}));
    // Window 0's new blocks are taken below window 1's moved ones.
    EXPECT_LT(w0.MemoryEnd, w1.TextMemoryStart);
    EXPECT_EQ(w0.MemoryEnd, high + freed);
}

TEST(WindowSetUp, SizesAreCorrectedAndBadDepthsOrMissingViewsRefused) {
    t_Font font = t_LoadFontResource(editorFont);
    LogCapture log;
    auto setUp = [&](uint8_t n, int64_t depth, int64_t width, int64_t height) -> t_Window& {
        kt::setUpWindow(n, depth, true, width, height, 0, 0, font, true);
        return kt::windowRecord(n);
    };
    EXPECT_EQ(setUp(2, 8, 20, 9000).Width, 1280);
    EXPECT_EQ(kt::windowRecord(2).Height, 800);
    EXPECT_EQ(setUp(3, 1, 100, 64).Width, 104);
    EXPECT_EQ(setUp(4, 4, 81, 64).Width, 80);
    EXPECT_EQ(setUp(4, 4, 83, 64).Width, 84);
    EXPECT_FALSE(setUp(5, 2, 100, 64).Initialized);
    EXPECT_FALSE(setUp(6, 32, 8192, 8192).Initialized);
    t_InitWindow(8, 24, 10, 10, 0, editorFont);
    t_InitWindow(6, 24, 10, 10, 0, "missing.font");
    // A window without host view is not initialised but keeps its blocks.
    auto& h = testing_support::headless();
    h.setWindowExists(7, false);
    t_InitWindow(0, 24, 80, 25, 16, editorFont);  // the memory exists
    const int64_t high = kt::display().highMemory;
    t_InitWindow(7, 24, 10, 2, 0, editorFont);
    h.setWindowExists(7, true);
    EXPECT_EQ(std::tuple(kt::windowRecord(7).Initialized.load(), kt::windowRecord(7).Font.Data.empty()),
              std::tuple(false, true));
    EXPECT_LT(kt::display().highMemory, high);
    expectLogged(log.text(),
                 {p(2) + " cannot display 20 horizontal pixel.", p(2) + " cannot display 9000 vertical pixel.",
                  p(3) + " width with 1 bit depth must be a multiple of 8.",
                  p(4) + " width with 4 bit depth must be a multiple of 4.", p(5) + " unsupported 2 bit depth.",
                  "t_InitWindow: Displaying 8192 x 8192 pixel x 32 bit needs 262144K video-memory.",
                  "t_InitWindow: Window is not a graphic window.", "t_InitWindow: Font 'missing.font' not found.",
                  p(7) + " could not be initialized, resource undefined."});
    EXPECT_NE(log.text().find(p(6) + " has not enough graphic-video-memory ("), std::string::npos);
}
