#include "terminal/unicode.h"

#include <gtest/gtest.h>

#include "support/toolkit_fixture.h"
#include "terminal/text.h"

using namespace testing_support;
using Codes = std::vector<uint32_t>;

namespace {
// The codes of a converted string.
Codes codes(const std::string& text) { return kt::scalarsOf(t_ConvertUniCode(text).first); }
Codes codesOf(const std::string& latin1) { return {latin1.begin(), latin1.end()}; }
}  // namespace

TEST(UnicodeConversion, LatinCharactersKeepTheirCodesSymbolsTakeTheFontsAndTheRestBecome127) {
    LogCapture log;
    EXPECT_EQ(t_ConvertUniCode(""), (std::pair<std::string, bool>{"", false}));
    EXPECT_EQ(codes("\u00C6rger \u00E6on \u00D8re a\nb"), codesOf("Aerger aeon 0re a\rb"));
    EXPECT_EQ(codes("Gr\u00FC\u00DFe \u00B9"), (Codes{'G', 'r', 0xFC, 0xDF, 'e', ' ', 185}));
    // A letter and a combining accent are composed first.
    EXPECT_EQ(codes("e\u0301"), Codes{233});
    EXPECT_FALSE(t_ConvertUniCode("Caf\u00E9 \u00C5").second);
    // Less-than-or-equal shares its code with capital A with ring, which keeps it.
    EXPECT_EQ(codes("\u20AC\u2264\u00C5\u2014"), (Codes{164, 197, 197, 154}));
    EXPECT_EQ(codes("\u0152uvre \u0153 \u2013 \u201EZ\u201C"), codesOf("Oeuvre oe - \"Z\""));
    EXPECT_EQ(log.text(), "");
    // Characters without a code, and bytes that are no UTF-8, become 127 and are logged.
    auto [text, missing] = t_ConvertUniCode(
        "a\u4E2Db\xFF"
        "e\u0301\xC3");
    EXPECT_TRUE(missing);
    EXPECT_EQ(kt::scalarsOf(text), (Codes{'a', 127, 'b', 127, 233, 127}));
    EXPECT_EQ(log.text(),
              "t_ConvertUniCode: Missing Unicode \u4E2D = 20013\nt_ConvertUniCode: Missing Unicode \uFFFD = 65533\n"
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
