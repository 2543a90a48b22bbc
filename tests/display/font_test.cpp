#include "display/font.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "support/toolkit_fixture.h"

using kt::lzwPack;
using kt::lzwUnpack;
using testing_support::LogCapture;
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

// A font file: the header, then the given data.
Bytes fontFile(uint8_t headerSize, uint8_t format, uint8_t start, uint8_t end, uint8_t width, uint8_t height,
               const Bytes& data = {}) {
    Bytes file{headerSize, 'k', 'e', 'f', 'n', format, 0, 0, 0x12, 0x34, start, end, width, height, 0, 7};
    file.resize(headerSize + data.size(), 0);
    std::copy(data.begin(), data.end(), file.begin() + headerSize);
    return file;
}

// HeaderSize, Format, Size, Start, End, Width, Height and Reserved.
std::vector<int64_t> fields(const t_Font& f) {
    return {f.HeaderSize, f.Format, f.Size, f.Start, f.End, f.Width, f.Height, f.Reserved};
}

}  // namespace

TEST(Lzw, DecodesKnownCodesAndTheCodeNotYetEnteredAndRejectsCorruptOrOverlongStreams) {
    EXPECT_EQ(lzwUnpack(packCodes(9, {65, 66, 256})), (Bytes{65, 66, 65, 66}));
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
}

TEST(Lzw, PackedDataRoundTripsAtEveryWidthEvenWhenTheDictionaryFills) {
    std::mt19937 random(7);
    Bytes bytes(20000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random() % (i % 1000 < 500 ? 4 : 256));
    for (int width : {8, 9, 10, 12, 16, 20}) EXPECT_EQ(lzwUnpack(lzwPack(bytes, width)), bytes) << width;
    Bytes zeros(100000, 0);
    auto packed = lzwPack(zeros, 12);
    EXPECT_LT(packed.size(), 1500u);
    EXPECT_EQ(lzwUnpack(packed), zeros);
}

TEST(FontFile, PlainAndCompressedFontsLoadAndShortHeadersLeaveTheRestAtZero) {
    Bytes data(127 * 512);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i / 512);
    t_Font font = kt::parseFont(fontFile(16, 2, 32, 126, 16, 32, data), "test.font");
    EXPECT_EQ(fields(font), (std::vector<int64_t>{16, 2, 0x1234, 32, 126, 16, 32, 7}));
    EXPECT_EQ(font.Data, data);
    t_Font shortHeader = kt::parseFont(Bytes{8, 'k', 'e', 'f', 'n', 2, 0, 0, 9}, "short.font");
    EXPECT_EQ(fields(shortHeader), (std::vector<int64_t>{8, 2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(shortHeader.Data, (Bytes{9}));
    font = kt::parseFont(fontFile(16, 102, 0, 255, 1, 1, packCodes(9, {65, 66, 256})), "x.font");
    EXPECT_EQ(std::tuple(font.Format, font.Data), std::tuple(2, Bytes{65, 66, 65, 66}));
    font = kt::parseFont(fontFile(16, 100, 0, 255, 1, 1), "x.font");
    EXPECT_EQ(std::tuple(font.Format, font.Data), std::tuple(0, Bytes{}));
    EXPECT_TRUE(kt::parseFont(fontFile(16, 102, 0, 255, 1, 1, packCodes(9, {65, 300})), "x.font").Data.empty());
}

TEST(FontFile, BadMissingOrEmptyFilesGiveNoGlyphsWithTheirMessage) {
    LogCapture log;
    Bytes shortFile(30, 0);
    shortFile[0] = 40;
    EXPECT_TRUE(kt::parseFont(shortFile, "a.font").Data.empty());
    auto wrongType = fontFile(16, 2, 0, 0, 1, 1, {1});
    wrongType[3] = 'X';
    EXPECT_TRUE(kt::parseFont(wrongType, "b.font").Data.empty());
    // A file of fewer than 5 bytes can't hold the identifier.
    EXPECT_TRUE(kt::parseFont(Bytes{2, 'k', 'e'}, "c.font").Data.empty());
    EXPECT_EQ(log.text(),
              "t_LoadFontResource: Invalid header size\nt_LoadFontResource: Invalid file type\n"
              "t_LoadFontResource: Invalid file type\n");
    LogCapture missingLog;
    t_Font missing = t_LoadFontResource("no such font.font");
    EXPECT_EQ(std::tuple(fields(missing), missing.Identifier, missing.Data.empty()),
              std::tuple(fields(t_Font{}), std::array<uint8_t, 4>{'k', 'e', 'f', 'n'}, true));
    EXPECT_TRUE(kt::parseFont({}, "empty.font").Data.empty());
    EXPECT_THAT(missingLog.text(), testing::MatchesRegex("getbinaryfromfile: Error #[^\n]*\n"
                                                         "t_LoadFontResource: Could not load file „no such font.font“\n"
                                                         "t_LoadFontResource: Could not load file „empty.font“\n"));
}
