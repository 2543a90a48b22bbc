#include "terminal/unicode.h"

#include <gtest/gtest.h>

#include "support/toolkit_fixture.h"
#include "terminal/text.h"

using namespace testing_support;

TEST(UnicodeConversion, LatinCharactersKeepTheirCodesSymbolsTakeTheFontsTheRestBecome127AndKCFolds) {
    LogCapture log;
    // Input, then the codes as Latin-1. Letters and combining accents are composed first;
    // less-than-or-equal shares its code with capital A with ring, which keeps it.
    const std::pair<const char*, std::string> cases[] = {
        {"", ""},
        {"\u00C6rger \u00E6on \u00D8re a\nb", "Aerger aeon 0re a\rb"},
        {"Gr\u00FC\u00DFe \u00B9 e\u0301", "Gr\374\337e \271 \351"},
        {"\u20AC\u2264\u00C5\u2014", "\xA4\xC5\xC5\x9A"},
        {"\u0152uvre \u0153 \u2013 \u201EZ\u201C", "Oeuvre oe - \"Z\""}};
    for (const auto& [text, latin1] : cases)
        EXPECT_EQ(t_ConvertUniCode(text), std::pair(kt::latin1ToUtf8({latin1.begin(), latin1.end()}), false)) << text;
    EXPECT_EQ(log.text(), "");
    // Characters without a code, and bytes that are no UTF-8, become 127 and are logged.
    EXPECT_EQ(t_ConvertUniCode("a\u4E2Db\377e\u0301\303"), std::pair(std::string("a\177b\177\u00E9\177"), true));
    EXPECT_EQ(log.text(),
              "t_ConvertUniCode: Missing Unicode \u4E2D = 20013\nt_ConvertUniCode: Missing Unicode \uFFFD = 65533\n"
              "t_ConvertUniCode: Missing Unicode \uFFFD = 65533\n");
    // Form KC folds compatibility characters, form C keeps them; bytes that are no UTF-8 stay.
    EXPECT_EQ(kt::normalizeKC("\uFB01le \u2460 x\u00B2 e\u0301 \xFF"), "file 1 x2 \u00E9 \xFF");
    EXPECT_EQ(kt::normalizeC("e\u0301\uFB01"), "\u00E9\uFB01");
}
