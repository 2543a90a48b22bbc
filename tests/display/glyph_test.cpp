#include "display/glyph.h"

#include <gtest/gtest.h>

#include "support/toolkit_fixture.h"

using testing_support::LogCapture;
using RGB = std::array<uint8_t, 3>;

namespace {

constexpr int64_t graphicStart = 0x100000, textStart = 0x800000;
constexpr int64_t attributes = 1024;  // text memory 0x800000 … 0x8007FF: codes, then colours

// A 4 × 4 font whose glyph c has every sample equal to c, except glyph 1, which has the
// samples 0, 17, 34, … 255 from top left to bottom right.
t_Font testFont(uint8_t start = 0, uint8_t end = 255) {
    t_Font font{.Format = 2, .Start = start, .End = end, .Width = 4, .Height = 4, .Data = std::vector<uint8_t>(4096)};
    for (int i = 0; i < 4096; ++i) font.Data[i] = static_cast<uint8_t>(i / 16 == 1 ? i % 16 * 17 : i / 16);
    return font;
}

// A window of 4 × 3 cells set up by hand, as the window set-up will leave it; memory is 0xEE.
t_Window& setUpWindow(int64_t bitDepth, t_Font font = testFont()) {
    auto& d = kt::display();
    if (!kt::memoryReady()) kt::createVideoMemory(), d.memoryStarted = d.memoryReady = true;
    std::fill(d.memory.begin(), d.memory.end(), 0xEE);
    t_Window& w = kt::windowRecord(0);
    w.reset();
    w.Initialized = true;
    w.BitDepth = bitDepth;
    w.Font = std::move(font);
    w.TextWidth = 4;
    w.TextHeight = 3;
    w.Width = 16;
    w.Height = 12;
    w.MemoryStart = graphicStart;
    w.MemoryEnd = graphicStart + 4096;
    w.TextMemoryStart = textStart;
    w.TextMemoryEnd = textStart + 2 * attributes - 1;
    w.TextHpos = w.TextVpos = 1;
    w.TextColor = 192;
    return w;
}

uint8_t at(int64_t address) { return kt::display().memory[static_cast<size_t>(address)]; }

// Red, green, blue of pixel (x, y) of a 24-bit window.
RGB rgb24(const t_Window& w, int64_t x, int64_t y) {
    int64_t a = w.MemoryStart + 3 * (y * w.Width + x);
    return {at(a), at(a + 1), at(a + 2)};
}

}  // namespace

TEST(PrintSymbol, EveryDepthBlendsEachTermRoundedDownInTheColoursGivenSwappedOrTheWindows) {
    t_Window& w = setUpWindow(24);
    t_PrintSymbol(0, 1, 0x92, 2, 1);  // colour 9 (FF 80 00) on colour 2 (00 00 80)
    for (int i = 0; i < 16; ++i) {
        auto s = static_cast<uint8_t>(i * 17);
        EXPECT_EQ(rgb24(w, 4 + i % 4, i / 4), (RGB{s, uint8_t(s * 0x80 / 255), uint8_t((255 - s) * 0x80 / 255)})) << i;
    }
    // The cell to the left is untouched.
    EXPECT_EQ(std::tuple(rgb24(w, 3, 0), at(textStart + 1), at(textStart + 1 + attributes)),
              std::tuple(RGB{0xEE, 0xEE, 0xEE}, 1, 0x92));
    // The short form takes the window's colour and cursor, and leaves the cursor there.
    w.TextColor = 0x1F;
    w.TextHpos = 3;
    w.TextVpos = 2;
    t_PrintSymbol(0, 255);
    EXPECT_EQ(std::tuple(rgb24(w, 8, 4), at(textStart + 6), at(textStart + 6 + attributes), w.TextHpos),
              std::tuple(RGB{255, 0, 0}, 255, 0x1F, 3));
    // Inverse swaps the colours and their attribute: foreground 0 on 15.
    w.TextInverse = true;
    t_PrintSymbol(0, 255, 0xF0, 1, 1);
    t_PrintSymbol(0, 0, 0xF0, 1, 2);
    EXPECT_EQ(std::tuple(rgb24(w, 0, 0), rgb24(w, 0, 4), at(textStart + w.TextWidth + attributes)),
              std::tuple(RGB{0, 0, 0}, RGB{255, 255, 255}, 0x0F));

    // Greys are the average; a wider pixel keeps its first byte, 32 bits store red, green, blue.
    for (int64_t depth : {8, 16, 32}) {
        setUpWindow(depth);
        t_PrintSymbol(0, 1, 0x9A, 1, 1);  // colour 9 (FF 80 00), grey 7F, on 10 (A8 A8 A8)
        for (int i = 0; i < 16; ++i) {
            const int s = i * 17, grey = s * 0x7F / 255 + (255 - s) * 0xA8 / 255,
                      red = s * 0xFF / 255 + (255 - s) * 0xA8 / 255;
            const int64_t a = graphicStart + depth / 8 * ((i / 4) * 16 + i % 4);
            if (depth == 32)
                EXPECT_EQ(std::tuple(at(a), at(a + 1), at(a + 3)), std::tuple(0xEE, red, (255 - s) * 0xA8 / 255)) << i;
            else
                EXPECT_EQ(std::tuple(at(a), at(a + depth / 8 - 1)), std::tuple(depth == 8 ? grey : 0xEE, grey))
                    << depth << i;
        }
    }

    // 4 bits: white on black at sample 84 blends to 54 54 54 (sum 252 → 5), at 128 to 80 80 80
    // (sum 384 → 10); red on green at 128 blends to 80 3F 00, nearest to colour 8 (80 40 00).
    setUpWindow(4);
    const std::tuple<uint8_t, uint8_t, uint8_t> cases[] = {
        {84, 0xF0, 0x55}, {128, 0xF0, 0xAA}, {255, 0x10, 0x11}, {128, 0x14, 0x88}};
    for (int x = 1; x <= 4; ++x) {
        const auto [sample, colour, expected] = cases[x - 1];
        t_PrintSymbol(0, sample, colour, x, 1);
        EXPECT_EQ(at(graphicStart + 2 * (x - 1)), expected) << x;
    }
    // 1 bit: set from half brightness. Glyph 1's row 1 holds samples 68 … 119 (all clear), row 2
    // 136 … 187 (all set); the next cell's bits stay.
    setUpWindow(1);
    t_PrintSymbol(0, 1, 0xF0, 1, 1);
    EXPECT_EQ(std::tuple(at(graphicStart), at(graphicStart + 2) & 0xF0, at(graphicStart + 4) & 0xF0),
              std::tuple(0x0E, 0x00, 0xF0));
    t_PrintSymbol(0, 128, 0xF0, 2, 1);
    EXPECT_EQ(at(graphicStart) & 0x0F, 0x0F);
    t_PrintSymbol(0, 127, 0xF0, 2, 1);
    EXPECT_EQ(at(graphicStart) & 0x0F, 0x00);
}

TEST(PrintSymbol, RefusalsRoutedOutputAndGlyphsTheFontLacks) {
    t_Window& w = setUpWindow(24);
    LogCapture log;
    t_PrintSymbol(0, 255, 0xF0, 4, 3);  // the last cell that fits
    EXPECT_EQ(rgb24(w, 15, 11), (RGB{255, 255, 255}));
    std::vector<uint8_t> before = kt::display().memory;
    for (auto [x, y] : {std::pair{5, 1}, {1, 4}, {0, 1}}) t_PrintSymbol(0, 65, 0xF0, x, y);
    EXPECT_TRUE(kt::display().memory == before);
    for (int64_t format : {0, 7}) w.Font.Format = format, t_PrintSymbol(0, 65, 0xF0, 1, 1);
    w.Font.Data.clear();
    t_PrintSymbol(0, 65, 0xF0, 1, 1);
    t_PrintSymbol(8, 65, 0xF0, 1, 1);
    t_PrintSymbol(9, 65);
    w.TextMemoryStart = -1;
    w.TextRedirectOutput = 2;
    t_PrintSymbol(0, 65, 1, 1);  // the short forms refuse whatever the routing
    EXPECT_EQ(log.text(),
              "t_PrintSymbol: Window #0 illegal coordinates (x = 5, y = 1).\n"
              "t_PrintSymbol: Window #0 illegal coordinates (x = 1, y = 4).\n"
              "t_PrintSymbol: Window #0 illegal coordinates (x = 0, y = 1).\n"
              "t_PrintSymbol: Font format must be uncompressed grey for text-printing.\n"
              "t_PrintSymbol: Illegal font format.\nt_PrintSymbol: Window #0 not initialized.\n"
              "t_PrintSymbol: Window is not a graphic window.\nt_PrintSymbol: Window is not a graphic window.\n"
              "t_PrintSymbol: Window #0 not initialized.\n");

    // Routed to standard output the code goes there, and nowhere when routed nowhere, also for a
    // window that can't be drawn in; the memory is untouched.
    setUpWindow(24);
    before = kt::display().memory;
    LogCapture routed;
    for (int64_t target : {2, 0})
        for (bool drawable : {true, false}) {
            w.TextRedirectOutput = target;
            w.Initialized = drawable;
            t_PrintSymbol(0, drawable ? 0xE4 : 0x42, 0xF0, 1, 1);
        }
    w.Initialized = true;
    EXPECT_EQ(std::tuple(routed.text(), kt::display().memory == before), std::tuple("\u00E4B", true));

    // A glyph the font lacks keeps the pixels but records the cell; so does one cut short.
    setUpWindow(24, testFont(32, 126));
    t_PrintSymbol(0, 200, 0xC0, 1, 1);
    EXPECT_EQ(std::tuple(rgb24(w, 0, 0), at(textStart), at(textStart + attributes)),
              std::tuple(RGB{0xEE, 0xEE, 0xEE}, 200, 0xC0));
    t_Font font = testFont();
    font.Data.resize(66 * 16 + 5);  // glyph 65 whole, glyph 66 cut short
    setUpWindow(24, std::move(font));
    t_PrintSymbol(0, 65, 0xF0, 1, 1);
    t_PrintSymbol(0, 66, 0xF0, 2, 1);
    t_PrintSymbol(0, 250, 0xF0, 3, 1);
    EXPECT_EQ(std::tuple(rgb24(w, 0, 0)[0] != 0xEE, rgb24(w, 4, 0)[0], rgb24(w, 8, 0)[0], at(textStart + 2)),
              std::tuple(true, 0xEE, 0xEE, 250));
}
