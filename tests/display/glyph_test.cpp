#include "display/glyph.h"

#include <gtest/gtest.h>

#include "app/log.h"
#include "support/toolkit_fixture.h"

using testing_support::LogCapture;
using RGB = std::array<uint8_t, 3>;

namespace {

constexpr int64_t graphicStart = 0x100000;
constexpr int64_t textStart = 0x800000;
constexpr int64_t attributes = 1024;  // text memory 0x800000 … 0x8007FF: codes, then colours

// A 4 × 4 font whose glyph c has every sample equal to c, except glyph 1, which has the
// samples 0, 17, 34, … 255 from top left to bottom right.
t_Font testFont(uint8_t start = 0, uint8_t end = 255) {
    t_Font font{.Format = 2, .Start = start, .End = end, .Width = 4, .Height = 4, .Data = std::vector<uint8_t>(4096)};
    for (int c = 0; c < 256; ++c)
        for (int i = 0; i < 16; ++i) font.Data[c * 16 + i] = static_cast<uint8_t>(c == 1 ? i * 17 : c);
    return font;
}

// A window of 4 × 3 cells set up by hand, as the window set-up will leave it; memory is 0xEE.
t_Window& setUpWindow(int64_t bitDepth, t_Font font = testFont()) {
    auto& d = kt::display();
    if (!kt::memoryReady()) {
        kt::createVideoMemory();
        d.memoryStarted = d.memoryReady = true;
    }
    std::fill(d.memory.begin(), d.memory.end(), 0xEE);
    t_Window& w = kt::windowRecord(0);
    w.reset();
    w.Initialized = true;
    w.BitDepth = bitDepth;
    w.Font = std::move(font);
    w.TextWidth = 4;
    w.TextHeight = 3;
    w.Width = w.TextWidth * w.Font.Width;
    w.Height = w.TextHeight * w.Font.Height;
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

TEST(PrintSymbol, TrueColourBlendsEachTermRoundedDownInTheColoursGivenSwappedOrTheWindows) {
    t_Window& w = setUpWindow(24);
    t_PrintSymbol(0, 1, 0x92, 2, 1);  // colour 9 (FF 80 00) on colour 2 (00 00 80)
    for (int i = 0; i < 16; ++i) {
        auto s = static_cast<uint8_t>(i * 17);
        EXPECT_EQ(rgb24(w, 4 + i % 4, i / 4), (RGB{s, uint8_t(s * 0x80 / 255), uint8_t((255 - s) * 0x80 / 255)})) << i;
    }
    EXPECT_EQ(rgb24(w, 3, 0), (RGB{0xEE, 0xEE, 0xEE}));  // the cell to the left
    EXPECT_EQ(std::tuple(at(textStart + 1), at(textStart + 1 + attributes)), std::tuple(1, 0x92));
    // The short form takes the window's colour and cursor, and leaves the cursor there.
    w.TextColor = 0x1F;
    w.TextHpos = 3;
    w.TextVpos = 2;
    t_PrintSymbol(0, 255);
    EXPECT_EQ(rgb24(w, 8, 4), (RGB{255, 0, 0}));
    EXPECT_EQ(std::tuple(at(textStart + 6), at(textStart + 6 + attributes), w.TextHpos), std::tuple(255, 0x1F, 3));
    // Inverse swaps the colours and their attribute.
    w.TextInverse = true;
    t_PrintSymbol(0, 255, 0xF0, 1, 1);
    EXPECT_EQ(rgb24(w, 0, 0), (RGB{0, 0, 0}));  // foreground 0 on 15
    t_PrintSymbol(0, 0, 0xF0, 1, 2);
    EXPECT_EQ(rgb24(w, 0, 4), (RGB{255, 255, 255}));
    EXPECT_EQ(at(textStart + w.TextWidth + attributes), 0x0F);
}

TEST(PrintSymbol, GreyDepthsWriteTheAverageAndKeepTheOtherBytes) {
    for (int64_t depth : {8, 16, 32}) {
        SCOPED_TRACE(depth);
        t_Window& w = setUpWindow(depth);
        t_PrintSymbol(0, 1, 0x9A, 1, 1);  // colour 9 (FF 80 00) on 10 (A8 A8 A8)
        int64_t bytes = depth / 8;
        int yf = (0xFF + 0x80 + 0) / 3, yb = 0xA8;
        for (int i = 0; i < 16; ++i) {
            int s = i * 17;
            int64_t a = w.MemoryStart + bytes * ((i / 4) * w.Width + i % 4);
            if (depth > 8) {
                EXPECT_EQ(at(a), 0xEE);
            }
            if (depth == 32) {
                EXPECT_EQ(at(a + 1), s * 0xFF / 255 + (255 - s) * 0xA8 / 255);
                EXPECT_EQ(at(a + 3), (255 - s) * 0xA8 / 255);
            } else {
                EXPECT_EQ(at(a + bytes - 1), s * yf / 255 + (255 - s) * yb / 255);
            }
        }
    }
}

TEST(PrintSymbol, FourBitsPicksGreysBySumAndOtherColoursByDistanceOneBitSetsFromHalfBrightness) {
    t_Window* w = &setUpWindow(4);
    // White on black: sample 84 blends to 54 54 54 (sum 252 → 5), sample 128 to 80 80 80
    // (sum 384 → 10). Red on green at 128 blends to 80 3F 00, nearest to colour 8 (80 40 00).
    const struct {
        uint8_t sample, colour, expected;
    } cases[] = {{84, 0xF0, 0x55}, {128, 0xF0, 0xAA}, {255, 0x10, 0x11}, {128, 0x14, 0x88}};
    for (int x = 1; x <= 4; ++x) {
        t_PrintSymbol(0, cases[x - 1].sample, cases[x - 1].colour, x, 1);
        EXPECT_EQ(at(w->MemoryStart + 2 * (x - 1)), cases[x - 1].expected) << x;
    }
    w = &setUpWindow(1);
    t_PrintSymbol(0, 1, 0xF0, 1, 1);  // samples 0, 17, 34, 51 in the first row, … 255
    // Row 2 holds samples 136 … 187 (all set), row 1 holds 68 … 119 (all clear); the next
    // cell's bits stay.
    EXPECT_EQ(std::tuple(at(w->MemoryStart) & 0xF0, at(w->MemoryStart + 2) & 0xF0, at(w->MemoryStart + 4) & 0xF0),
              std::tuple(0x00, 0x00, 0xF0));
    EXPECT_EQ(at(w->MemoryStart) & 0x0F, 0x0E);
    t_PrintSymbol(0, 128, 0xF0, 2, 1);
    EXPECT_EQ(at(w->MemoryStart) & 0x0F, 0x0F);
    t_PrintSymbol(0, 127, 0xF0, 2, 1);
    EXPECT_EQ(at(w->MemoryStart) & 0x0F, 0x00);
}

TEST(PrintSymbol, RefusalsAreReportedWithTheirMessageAndTouchNothing) {
    t_Window& w = setUpWindow(24);
    LogCapture log;
    t_PrintSymbol(0, 255, 0xF0, 4, 3);
    EXPECT_EQ(rgb24(w, 15, 11), (RGB{255, 255, 255}));
    std::vector<uint8_t> before = kt::display().memory;
    t_PrintSymbol(0, 65, 0xF0, 5, 1);
    t_PrintSymbol(0, 65, 0xF0, 1, 4);
    t_PrintSymbol(0, 65, 0xF0, 0, 1);
    EXPECT_TRUE(kt::display().memory == before);
    w.Font.Format = 0;
    t_PrintSymbol(0, 65, 0xF0, 1, 1);
    w.Font.Format = 7;
    t_PrintSymbol(0, 65, 0xF0, 1, 1);
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
}

TEST(PrintSymbol, RedirectedOutputGoesToStandardOutputOrNowhere) {
    t_Window& w = setUpWindow(24);
    w.TextRedirectOutput = 2;
    std::vector<uint8_t> before = kt::display().memory;
    {
        LogCapture log;
        t_PrintSymbol(0, 0x41, 0xF0, 1, 1);
        t_PrintSymbol(0, 0xE4, 0xF0, 1, 1);
        w.Initialized = false;  // also for a window that can't be drawn in
        t_PrintSymbol(0, 0x42, 0xF0, 1, 1);
        EXPECT_EQ(log.text(),
                  "A\xC3\xA4"
                  "B");
    }
    w.TextRedirectOutput = 0;
    LogCapture log;
    t_PrintSymbol(0, 0x41, 0xF0, 1, 1);
    EXPECT_EQ(log.text(), "");
    EXPECT_TRUE(kt::display().memory == before);
}

TEST(PrintSymbol, GlyphsTheFontLacksKeepThePixelsButRecordTheCell) {
    t_Window* w = &setUpWindow(24, testFont(32, 126));
    t_PrintSymbol(0, 200, 0xC0, 1, 1);
    EXPECT_EQ(rgb24(*w, 0, 0), (RGB{0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(std::tuple(at(textStart), at(textStart + attributes)), std::tuple(200, 0xC0));
    t_Font font = testFont();
    font.Data.resize(66 * 16 + 5);  // glyph 65 whole, glyph 66 cut short
    w = &setUpWindow(24, std::move(font));
    t_PrintSymbol(0, 65, 0xF0, 1, 1);
    t_PrintSymbol(0, 66, 0xF0, 2, 1);
    t_PrintSymbol(0, 250, 0xF0, 3, 1);
    EXPECT_NE(rgb24(*w, 0, 0)[0], 0xEE);
    EXPECT_EQ(std::tuple(rgb24(*w, 4, 0)[0], rgb24(*w, 8, 0)[0], at(textStart + 2)), std::tuple(0xEE, 0xEE, 250));
}
