#include "display/setup.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/log.h"
#include "display/font.h"
#include "display/placement.h"
#include "support/toolkit_fixture.h"

using testing_support::headless;
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
    auto& memory = kt::display().memory;
    // Cleared: black pixels, blank cells in green on black.
    EXPECT_EQ(
        (Values{w.Width, w.Height, w.MemoryEnd, w.MemoryStart, w.TextMemoryEnd, w.TextMemoryStart, kt::textHalf(w),
                kt::display().highMemory, w.TextWidth, w.TextHeight, w.TextColor, w.TitleHeight,
                kt::display().defaultWindow, memory[w.MemoryStart], memory[w.MemoryStart + 3 * 1280 * 800 - 1],
                memory[w.TextMemoryStart + 79 + 80 * 24], memory[w.TextMemoryStart + 2048 + 79 + 80 * 24]}),
        (Values{1280, 800, 0xFFFFFF, 0xD12000, 0xD11FFF, 0xD11000, 2048, 0xD10FFF, 80, 25, 192, 22, 0, 0, 0, 32, 192}));
    EXPECT_EQ(w.RGBColorBorder, (t_RGBColor{255, 0x54, 0x54, 0x54}));
    expectLogged(log.text(),
                 {"t_InitMemory: End.", p(0) + " = 1280 x 800 pixel x 24 bit = 3000K video-memory = $00D12000."});
    // Its host window's frame and view: WindowPlacement and QtHost.WindowZero... check them.
    EXPECT_EQ(std::tuple(headless().window(0).title, std::lround(headless().window(0).background.red * 255)),
              std::tuple("Ostrakonix", 0x54));
    LogCapture again;
    t_InitMemory();  // a second start-up does nothing
    EXPECT_EQ(again.text(), "");

    // Set up again, window 0 moves window 1's blocks up, with their content, by the size of its
    // old blocks, and takes its new ones below them.
    t_InitWindow(1, 8, 10, 4, 0, editorFont);
    t_Window& w1 = kt::windowRecord(1);
    ASSERT_TRUE(w1.Initialized);
    const int64_t start1 = w1.MemoryStart, end1 = w1.MemoryEnd, text1 = w1.TextMemoryStart;
    for (auto [at, value] : {std::pair{start1, 0x11}, {end1, 0x22}, {text1, int{'Q'}}}) memory[at] = value;
    const int64_t freed = w.MemoryEnd - w.MemoryStart + 1 + w.TextMemoryEnd - w.TextMemoryStart + 1;
    const int64_t high = kt::display().highMemory;
    LogCapture moves;
    t_InitWindow(0, 24, 40, 10, 8, editorFont);
    expectLogged(moves.text(),
                 {p(0) + " moving graphic block for win #1 " + kt::hex8(start1) + "..." + kt::hex8(end1).substr(1) +
                  " to " + kt::hex8(start1 + freed).substr(1) + "..." + kt::hex8(end1 + freed).substr(1)});
    EXPECT_EQ((Values{w1.MemoryStart, w1.TextMemoryStart, memory[w1.MemoryStart], memory[w1.MemoryEnd],
                      memory[w1.TextMemoryStart], w.MemoryEnd}),
              (Values{start1 + freed, text1 + freed, 0x11, 0x22, 'Q', high + freed}));
    EXPECT_LT(w.MemoryEnd, w1.TextMemoryStart);
}

TEST(WindowSetUp, SizesAreCorrectedAndBadDepthsOrMissingViewsRefused) {
    t_Font font = t_LoadFontResource(editorFont);
    LogCapture log;
    auto setUp = [&](uint8_t n, int64_t depth, int64_t width, int64_t height) -> t_Window& {
        kt::setUpWindow(n, depth, true, width, height, 0, 0, font, true);
        return kt::windowRecord(n);
    };
    const t_Window& w2 = setUp(2, 8, 20, 9000);
    EXPECT_EQ(std::tuple(w2.Width, w2.Height), std::tuple(1280, 800));
    EXPECT_EQ(std::tuple(setUp(3, 1, 100, 64).Width, setUp(4, 4, 81, 64).Width), std::tuple(104, 80));
    EXPECT_EQ(setUp(4, 4, 83, 64).Width, 84);
    EXPECT_EQ(std::tuple(setUp(5, 2, 100, 64).Initialized.load(), setUp(6, 32, 8192, 8192).Initialized.load()),
              std::tuple(false, false));
    t_InitWindow(8, 24, 10, 10, 0, editorFont);
    t_InitWindow(6, 24, 10, 10, 0, "missing.font");
    // A window without host view is not initialised but keeps its blocks.
    headless().setWindowExists(7, false);
    t_InitWindow(0, 24, 80, 25, 16, editorFont);  // the memory exists
    const int64_t high = kt::display().highMemory;
    t_InitWindow(7, 24, 10, 2, 0, editorFont);
    headless().setWindowExists(7, true);
    EXPECT_EQ(std::tuple(kt::windowRecord(7).Initialized.load(), kt::windowRecord(7).Font.Data.empty(),
                         kt::display().highMemory < high),
              std::tuple(false, true, true));
    expectLogged(log.text(),
                 {p(2) + " cannot display 20 horizontal pixel.", p(2) + " cannot display 9000 vertical pixel.",
                  p(3) + " width with 1 bit depth must be a multiple of 8.",
                  p(4) + " width with 4 bit depth must be a multiple of 4.", p(5) + " unsupported 2 bit depth.",
                  "t_InitWindow: Displaying 8192 x 8192 pixel x 32 bit needs 262144K video-memory.",
                  "t_InitWindow: Window is not a graphic window.", "t_InitWindow: Font 'missing.font' not found.",
                  p(7) + " could not be initialized, resource undefined."});
    EXPECT_NE(log.text().find(p(6) + " has not enough graphic-video-memory ("), std::string::npos);
}

// The Qt host's suites check the placement on a real desktop too: QtHost.WindowZero... the
// frame and view after the set-up, QtHost.TitleFromAnotherThread... a title set from the
// program thread, QtDesktop.SideWindowsShowTheirText... the pasteboard window's copy of the
// pasteboard each time it is shown.
TEST(WindowPlacement, SelectorsSizeTitleBarVisibilityFocusAndMissingWindows) {
    if (!kt::memoryReady() || !kt::windowRecord(0).Initialized) t_InitWindow(0, 24, 80, 25, 16, editorFont);
    const int64_t t = 22;  // the title bar
    const std::pair<int, int64_t> selectors[] = {{8, 1280}, {9, 800}, {10, 1312}, {11, 832}, {12, 832 + t}, {17, t},
                                                 {18, 16},  {19, 16}, {4, 80},    {7, 25},   {15, 1920},    {99, 0}};
    for (auto [selector, value] : selectors) EXPECT_EQ(t_WindowPos(0, selector), value) << selector;
    EXPECT_EQ(t_WindowPos(4), 80);  // the default window
    t_WindowSize(0, 100, 50, -1, -1);
    EXPECT_EQ(std::tuple(t_WindowPos(0, 13), t_WindowPos(0, 20), t_WindowPos(0, 14)),
              std::tuple(100, 50, 1080 - 50 - (832 + t)));
    // Sizing with -1 keeps the origin and the size; the title bar can be hidden.
    t_WindowSize(0, -1, -1, -1, -1);
    EXPECT_EQ(std::tuple(t_WindowPos(0, 13), t_WindowPos(0, 20), t_WindowPos(0, 10), headless().window(0).frame.height),
              std::tuple(100, 50, 1312, 832 + t));
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
    EXPECT_EQ(headless().window(12).frame.x, (1920 - headless().window(12).frame.width) / 2);
    // Missing windows, side windows and borders are reported, without an alert.
    headless().setWindowExists(10, false);
    const int alerts = headless().alerts();
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
