#include "display/font.h"

#include <gtest/gtest.h>

#include <random>

#include "support/toolkit_fixture.h"

using kt::lzwPack;
using kt::lzwUnpack;
using testing_support::LogCapture;

namespace {

// Writes codes of the given width, most significant bit first.
std::vector<uint8_t> packCodes(int width, const std::vector<uint32_t>& codes) {
    std::vector<uint8_t> out{static_cast<uint8_t>(width)};
    uint64_t buffer = 0;
    int bits = 0;
    for (uint32_t code : codes) {
        for (int i = width - 1; i >= 0; --i) {
            buffer = (buffer << 1) | ((code >> i) & 1u);
            if (++bits == 8) {
                out.push_back(static_cast<uint8_t>(buffer));
                buffer = bits = 0;
            }
        }
    }
    if (bits) out.push_back(static_cast<uint8_t>(buffer << (8 - bits)));
    return out;
}

std::vector<uint8_t> header(uint8_t headerSize, uint8_t format, uint8_t start, uint8_t end, uint8_t width,
                            uint8_t height) {
    std::vector<uint8_t> h{headerSize, 'k', 'e', 'f', 'n', format, 0, 0, 0x12, 0x34, start, end, width, height, 0, 7};
    h.resize(headerSize, 0);
    return h;
}

}  // namespace

TEST(Lzw, DecodesLiteralsKnownCodesAndTheCodeNotYetEntered) {
    EXPECT_EQ(lzwUnpack(packCodes(9, {65, 66, 256})), (std::vector<uint8_t>{65, 66, 65, 66}));
    // 257 is the code being defined: w followed by w's first byte.
    EXPECT_EQ(lzwUnpack(packCodes(9, {65, 256, 257})), (std::vector<uint8_t>{65, 65, 65, 65, 65, 65}));
    // Bits that do not fill a code at the end are ignored.
    auto padded = packCodes(12, {72, 105});
    padded.push_back(0xFF);
    EXPECT_EQ(lzwUnpack(padded), (std::vector<uint8_t>{72, 105}));
}

TEST(Lzw, CorruptOrEmptyStreamsGiveNoData) {
    EXPECT_TRUE(lzwUnpack(packCodes(9, {65, 258})).empty());  // beyond the next free code
    EXPECT_TRUE(lzwUnpack(packCodes(9, {300, 65})).empty());  // first code must be a byte
    EXPECT_TRUE(lzwUnpack({9}).empty());
    EXPECT_TRUE(lzwUnpack({}).empty());
    EXPECT_TRUE(lzwUnpack({0, 1, 2, 3}).empty());   // a code width of 0 bits
    EXPECT_TRUE(lzwUnpack({40, 1, 2, 3}).empty());  // wider than any code
}

TEST(Lzw, PackedDataRoundTripsAtEveryWidthEvenWhenTheDictionaryFills) {
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(20000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random() % (i % 1000 < 500 ? 4 : 256));
    for (int width : {8, 9, 10, 12, 16, 20}) {
        SCOPED_TRACE(width);
        EXPECT_EQ(lzwUnpack(lzwPack(bytes, width)), bytes);
    }
    std::vector<uint8_t> zeros(100000, 0);
    auto packed = lzwPack(zeros, 12);
    EXPECT_LT(packed.size(), 1500u);
    EXPECT_EQ(lzwUnpack(packed), zeros);
}

TEST(Lzw, DataThatWouldUnpackBeyondAnyFontIsRefused) {
    // Each code repeats a run one longer than the last: output grows with the square of
    // the input, so a small file could otherwise ask for gigabytes.
    std::vector<uint32_t> codes{0};
    for (uint32_t c = 256; c < 256 + 20000; ++c) codes.push_back(c);
    EXPECT_TRUE(lzwUnpack(packCodes(16, codes)).empty());
}

TEST(FontFile, UncompressedGreyFontLoadsAsItIs) {
    auto file = header(16, 2, 32, 126, 16, 32);
    std::vector<uint8_t> data(127 * 512);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i / 512);
    file.insert(file.end(), data.begin(), data.end());
    t_Font font = kt::parseFont(file, "test.font");
    EXPECT_EQ(font.HeaderSize, 16);
    EXPECT_EQ(font.Format, 2);
    EXPECT_EQ(font.Size, 0x1234);
    EXPECT_EQ(font.Start, 32);
    EXPECT_EQ(font.End, 126);
    EXPECT_EQ(font.Width, 16);
    EXPECT_EQ(font.Height, 32);
    EXPECT_EQ(font.Reserved, 7);
    ASSERT_EQ(font.Data.size(), 127u * 512);
    EXPECT_EQ(font.Data[33280], 65);  // the glyph of "A"
    EXPECT_EQ(font.Data[33279], 64);
}

TEST(FontFile, CompressedFontsAreUnpackedAndTakeTheirPlainFormat) {
    auto file = header(16, 102, 0, 255, 1, 1);
    auto packed = packCodes(9, {65, 66, 256});
    file.insert(file.end(), packed.begin(), packed.end());
    t_Font font = kt::parseFont(file, "x.font");
    EXPECT_EQ(font.Format, 2);
    EXPECT_EQ(font.Data, (std::vector<uint8_t>{65, 66, 65, 66}));

    t_Font empty = kt::parseFont(header(16, 100, 0, 255, 1, 1), "x.font");
    EXPECT_EQ(empty.Format, 0);
    EXPECT_TRUE(empty.Data.empty());

    auto corrupt = header(16, 102, 0, 255, 1, 1);
    auto bad = packCodes(9, {65, 300});
    corrupt.insert(corrupt.end(), bad.begin(), bad.end());
    EXPECT_TRUE(kt::parseFont(corrupt, "x.font").Data.empty());
}

TEST(FontFile, BadHeadersAreRejectedWithTheirMessage) {
    LogCapture log;
    std::vector<uint8_t> shortFile(30, 0);
    shortFile[0] = 40;
    EXPECT_TRUE(kt::parseFont(shortFile, "a.font").Data.empty());
    auto wrongType = header(16, 2, 0, 0, 1, 1);
    wrongType[3] = 'X';
    wrongType.push_back(1);
    EXPECT_TRUE(kt::parseFont(wrongType, "b.font").Data.empty());
    // A file of fewer than 5 bytes can't hold the identifier.
    EXPECT_TRUE(kt::parseFont(std::vector<uint8_t>{2, 'k', 'e'}, "c.font").Data.empty());
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"t_LoadFontResource: Invalid header size",
                                                     "t_LoadFontResource: Invalid file type",
                                                     "t_LoadFontResource: Invalid file type"}));
}

TEST(FontFile, ShortHeadersLeaveTheFieldsTheyLackAtZero) {
    std::vector<uint8_t> file{8, 'k', 'e', 'f', 'n', 2, 0, 0, 9};
    t_Font font = kt::parseFont(file, "short.font");
    EXPECT_EQ(font.Size, 0);
    EXPECT_EQ(font.Reserved, 0);
    EXPECT_EQ(font.Start, 0);
    EXPECT_EQ(font.Data, (std::vector<uint8_t>{9}));
}

TEST(FontFile, MissingOrEmptyResourceGivesTheEmptyFont) {
    testing_support::TempFolder folder;
    testing_support::writeFile(folder.file("empty.font"), {});
    LogCapture log;
    t_Font missing = t_LoadFontResource("no such font.font");
    EXPECT_TRUE(missing.Data.empty());
    EXPECT_EQ(missing.HeaderSize, 16);
    EXPECT_EQ(missing.Identifier, (std::array<uint8_t, 4>{'k', 'e', 'f', 'n'}));
    auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("getbinaryfromfile: Error #", 0), 0u);
    EXPECT_EQ(lines[1], "t_LoadFontResource: Could not load file „no such font.font“");
}
