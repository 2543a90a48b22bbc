// The font fuzz target's corpus replays check the header fields at their offsets and the
// glyph data, stored or unpacked, against a plain decoder: here the decoder's limits, the
// packer, and the failures with their messages.
#include "display/font.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

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
    // width, a code width of 0 bits and one wider than any code.
    for (const Bytes& stream :
         {packCodes(9, {65, 258}), packCodes(9, {300, 65}), Bytes{9}, Bytes{}, Bytes{0, 1, 2, 3}, Bytes{40, 1, 2, 3}})
        EXPECT_TRUE(lzwUnpack(stream).empty()) << stream.size();
    // Each code repeats a run one longer than the last: output grows with the square of
    // the input, so a small file could otherwise ask for gigabytes.
    std::vector<uint32_t> codes{0};
    for (uint32_t c = 256; c < 256 + 20000; ++c) codes.push_back(c);
    EXPECT_TRUE(lzwUnpack(packCodes(16, codes)).empty());

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
    Bytes shortFile(30, 0);
    shortFile[0] = 40;
    EXPECT_TRUE(kt::parseFont(shortFile, "a.font").Data.empty());
    // A wrong identifier, and a file of fewer than 5 bytes, which can't hold it.
    EXPECT_TRUE(
        kt::parseFont(Bytes{16, 'k', 'e', 'X', 'n', 2, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1}, "b.font").Data.empty());
    EXPECT_TRUE(kt::parseFont(Bytes{2, 'k', 'e'}, "c.font").Data.empty());
    const t_Font missing = t_LoadFontResource("no such font.font");
    EXPECT_EQ(std::tuple(missing.Format, missing.Width, missing.Identifier, missing.Data.empty()),
              std::tuple(0, 0, std::array<uint8_t, 4>{'k', 'e', 'f', 'n'}, true));
    EXPECT_TRUE(kt::parseFont({}, "empty.font").Data.empty());
    EXPECT_THAT(log.text(), testing::MatchesRegex("t_LoadFontResource: Invalid header size\n"
                                                  "t_LoadFontResource: Invalid file type\n"
                                                  "t_LoadFontResource: Invalid file type\n"
                                                  "getbinaryfromfile: Error #[^\n]*\n"
                                                  "t_LoadFontResource: Could not load file „no such font.font“\n"
                                                  "t_LoadFontResource: Could not load file „empty.font“\n"));
}
