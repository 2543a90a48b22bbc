// The font fuzz target's corpus replays check the header fields at their offsets and the
// glyph data, stored or unpacked, against a plain decoder: here the decoder's limits, the
// packer, and the failures with their messages.
#include "display/font.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "files/fileio.h"
#include "support/toolkit_fixture.h"

using kt::lzwPack;
using kt::lzwUnpack;
using Bytes = std::vector<uint8_t>;

namespace {
// The code width, then the codes of that width, most significant bit first.
Bytes packCodes(int width, const std::vector<uint32_t>& codes) {
    Bytes out{static_cast<uint8_t>(width)};
    int used = 0;  // bits used of the last byte
    for (uint32_t code : codes)
        for (int i = width - 1; i >= 0; --i, used = (used + 1) % 8) {
            if (used == 0) out.push_back(0);
            out.back() |= static_cast<uint8_t>(((code >> i) & 1u) << (7 - used));
        }
    return out;
}
}  // namespace

TEST(Lzw, DecodesTheCodeNotYetEnteredRejectsCorruptOrOverlongStreamsAndRoundTrips) {
    // 257 is the code being defined: w followed by w's first byte.
    EXPECT_EQ(lzwUnpack(packCodes(9, {65, 256, 257})), (Bytes{65, 65, 65, 65, 65, 65}));
    // Bits that do not fill a code at the end are ignored.
    auto padded = packCodes(12, {72, 105});
    padded.push_back(0xFF);
    EXPECT_EQ(lzwUnpack(padded), (Bytes{72, 105}));
    // A code beyond the next free one, a first code that is no byte, no codes at all, no code
    // width, a code width of 0 bits and one wider than any code; and codes that each repeat a
    // run one longer than the last: output grows with the square of the input, so a small file
    // could otherwise ask for gigabytes.
    std::vector<uint32_t> codes{0};
    for (uint32_t c = 256; c < 256 + 20000; ++c) codes.push_back(c);
    for (const Bytes& stream : {packCodes(9, {65, 258}), packCodes(9, {300, 65}), Bytes{9}, Bytes{}, Bytes{0, 1, 2, 3},
                                Bytes{40, 1, 2, 3}, packCodes(16, codes)})
        EXPECT_TRUE(lzwUnpack(stream).empty()) << stream.size();

    // Packed and unpacked again at every width, also once the dictionary is full, and runs pack small.
    std::mt19937 random(7);
    Bytes bytes(20000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random() % (i % 1000 < 500 ? 4 : 256));
    for (int width : {8, 9, 10, 12, 16, 20}) EXPECT_EQ(lzwUnpack(lzwPack(bytes, width)), bytes) << width;
    Bytes zeros(100000, 0);
    auto packed = lzwPack(zeros, 12);
    EXPECT_EQ(std::tuple(packed.size() < 1500, lzwUnpack(packed)), std::tuple(true, zeros));
}

TEST(FontFile, BadMissingOrEmptyFilesGiveNoGlyphsWithTheirMessage) {
    testing_support::LogCapture log;
    // A header longer than the file, a wrong identifier, a file of fewer than 5 bytes (which
    // can't hold it), and an empty file.
    Bytes shortFile(30, 0);
    shortFile[0] = 40;
    for (const Bytes& file :
         {shortFile, Bytes{16, 'k', 'e', 'X', 'n', 2, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1}, Bytes{2, 'k', 'e'}, Bytes{}})
        EXPECT_TRUE(kt::parseFont(file, file.empty() ? "empty.font" : "bad.font").Data.empty()) << file.size();
    const t_Font missing = t_LoadFontResource("no such font.font");
    EXPECT_EQ(std::tuple(missing.Format, missing.Width, missing.Identifier, missing.Data.empty()),
              std::tuple(0, 0, std::array<uint8_t, 4>{'k', 'e', 'f', 'n'}, true));
    EXPECT_THAT(log.text(), testing::MatchesRegex("t_LoadFontResource: Invalid header size\n"
                                                  "t_LoadFontResource: Invalid file type\n"
                                                  "t_LoadFontResource: Invalid file type\n"
                                                  "t_LoadFontResource: Could not load file „empty.font“\n"
                                                  "getbinaryfromfile: Error #[^\n]*\n"
                                                  "t_LoadFontResource: Could not load file „no such font.font“\n"));
}

// The font the build generates: glyphs that are present, distinct and set on one baseline.
TEST(FontResource, AllGreyGlyphsThatShowWhatTheyMustOnOneBaseline) {
    constexpr int width = 16, height = 32, size = width * height;
    const t_Font font = kt::parseFont(getbinaryfromfile(OSTRAKONIX_TEST_RESOURCES "/DejaVuSansMono 16x32.font"), "");
    EXPECT_EQ(std::tuple(font.Format, font.Start, font.End, font.Width, font.Height, font.Size),
              std::tuple(2, 0, 255, width, height, 256 * size));
    ASSERT_EQ(font.Data.size(), size_t(256 * size));
    auto glyph = [&](int code) { return font.Data.begin() + code * size; };
    // The lowest row with ink, -1 for a blank glyph.
    auto lowestInkRow = [&](int code) {
        for (int y = height - 1; y >= 0; --y)
            if (std::any_of(glyph(code) + y * width, glyph(code) + (y + 1) * width, [](uint8_t s) { return s; }))
                return y;
        return -1;
    };
    EXPECT_EQ(lowestInkRow(' '), -1);
    // Letters, the visible blank, the title bar's ends and the graphic pieces.
    for (int code : {int('A'), 160, 18, 19}) EXPECT_GE(lowestInkRow(code), 0) << code;
    for (int code = 128; code <= 159; ++code) EXPECT_GE(lowestInkRow(code), 0) << "graphic piece " << code;
    EXPECT_FALSE(std::equal(glyph('A'), glyph('B'), glyph('a'))) << "'A' and 'a' are the same picture";
    const int baseline = lowestInkRow('A');
    ASSERT_GT(baseline, 0);
    EXPECT_EQ(std::tuple(lowestInkRow('H'), lowestInkRow('x')), std::tuple(baseline, baseline));
    EXPECT_TRUE(lowestInkRow('g') > baseline && lowestInkRow('p') > baseline) << "no descenders";
}
