#include "terminal/unicode.h"

#include <gtest/gtest.h>

#include "support/toolkit_fixture.h"
#include "terminal/text.h"

using namespace testing_support;

namespace {
// The codes of a converted string.
std::vector<uint32_t> codes(const std::string& text) { return kt::scalarsOf(t_ConvertUniCode(text).first); }
std::vector<uint32_t> codesOf(const char* latin1) {
    std::vector<uint32_t> out;
    for (const char* p = latin1; *p; ++p) out.push_back(static_cast<unsigned char>(*p));
    return out;
}
}  // namespace

TEST(UnicodeConversion, LatinCharactersKeepTheirCodesWithTheFewExceptions) {
    LogCapture log;
    EXPECT_EQ(t_ConvertUniCode(""), (std::pair<std::string, bool>{"", false}));
    EXPECT_EQ(codes("\u00C6rger"), codesOf("Aerger"));
    EXPECT_EQ(codes("\u00E6on \u00D8re"), codesOf("aeon 0re"));
    EXPECT_EQ(codes("a\nb"), codesOf("a\rb"));
    EXPECT_EQ(codes("Gr\u00FC\u00DFe \u00B9\u00B2\u00B3"),
              (std::vector<uint32_t>{'G', 'r', 0xFC, 0xDF, 'e', ' ', 185, 178, 179}));
    // A letter and a combining accent are composed first.
    EXPECT_EQ(codes("e\u0301"), (std::vector<uint32_t>{233}));
    EXPECT_FALSE(t_ConvertUniCode("Caf\u00E9 \u00C5").second);
    EXPECT_EQ(log.text(), "");
}

TEST(UnicodeConversion, SymbolsAbove255TakeTheFontsCodes) {
    LogCapture log;
    EXPECT_EQ(codes("\u20AC"), (std::vector<uint32_t>{164}));
    // Less-than-or-equal shares its code with capital A with ring, which keeps it.
    EXPECT_EQ(codes("\u2264\u00C5"), (std::vector<uint32_t>{197, 197}));
    EXPECT_EQ(codes("\u0152uvre \u0153"), codesOf("Oeuvre oe"));
    EXPECT_EQ(codes("\u201EZitat\u201C \u2013 \u2018x\u2019"), codesOf("\"Zitat\" - `x\xB4"));
    EXPECT_EQ(codes("\u2070\u2074\u2079\u2122\u2206\u221E\u2260\u2265\u2026\u2014"),
              (std::vector<uint32_t>{216, 170, 188, 168, 254, 255, 173, 198, 191, 154}));
    EXPECT_EQ(log.text(), "");
}

TEST(UnicodeConversion, ACharacterWithoutCodeBecomes127AndIsLogged) {
    LogCapture log;
    auto [text, missing] = t_ConvertUniCode("a\u4E2Db\u4E2D");
    EXPECT_TRUE(missing);
    EXPECT_EQ(kt::scalarsOf(text), (std::vector<uint32_t>{'a', 127, 'b', 127}));
    EXPECT_EQ(log.text(),
              "t_ConvertUniCode: Missing Unicode \u4E2D = 20013\n"
              "t_ConvertUniCode: Missing Unicode \u4E2D = 20013\n");
}

TEST(UnicodeConversion, BytesThatAreNoUtf8AreShownAsMissingCharacters) {
    LogCapture log;
    auto [text, missing] = t_ConvertUniCode(
        "a\xFF"
        "e\u0301\xC3");
    EXPECT_TRUE(missing);
    EXPECT_EQ(kt::scalarsOf(text), (std::vector<uint32_t>{'a', 127, 233, 127}));
    EXPECT_EQ(log.text(),
              "t_ConvertUniCode: Missing Unicode \uFFFD = 65533\n"
              "t_ConvertUniCode: Missing Unicode \uFFFD = 65533\n");
}

TEST(UnicodeNormalisation, FormKCFoldsCompatibilityCharacters) {
    EXPECT_EQ(kt::normalizeKC("\uFB01le \u2460 x\u00B2 e\u0301"), "file 1 x2 \u00E9");
    EXPECT_EQ(kt::normalizeC("e\u0301\uFB01"), "\u00E9\uFB01");
    EXPECT_EQ(kt::normalizeKC("A\xFF"
                              "e\u0301"),
              "A\xFF\u00E9");
    EXPECT_EQ(kt::normalizeKC(""), "");
}
