// The font resource the build generates: its header, and glyphs that are present,
// distinct and set on one baseline.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "display/font.h"
#include "files/fileio.h"

TEST(FontResource, AllGreyGlyphsThatShowWhatTheyMustOnOneBaseline) {
    constexpr int width = 16, height = 32, size = width * height;
    const t_Font font = kt::parseFont(getbinaryfromfile(OSTRAKONIX_TEST_RESOURCES "/DejaVuSansMono 16x32.font"), "");
    EXPECT_EQ(std::tuple(font.Format, font.Start, font.End, font.Width, font.Height, font.Size),
              std::tuple(2, 0, 255, width, height, 256 * size));
    ASSERT_EQ(font.Data.size(), size_t(256 * size));
    auto glyph = [&](int code) { return font.Data.begin() + code * size; };
    auto hasInk = [&](int code) { return std::any_of(glyph(code), glyph(code + 1), [](uint8_t s) { return s; }); };
    auto lowestInkRow = [&](int code) {
        for (int y = height - 1; y >= 0; --y)
            if (std::any_of(glyph(code) + y * width, glyph(code) + (y + 1) * width, [](uint8_t s) { return s; }))
                return y;
        return -1;
    };
    EXPECT_FALSE(hasInk(' '));
    // Letters, the visible blank, the title bar's ends and the graphic pieces.
    for (int code : {int('A'), 160, 18, 19}) EXPECT_TRUE(hasInk(code)) << code;
    for (int code = 128; code <= 159; ++code) EXPECT_TRUE(hasInk(code)) << "graphic piece " << code;
    EXPECT_FALSE(std::equal(glyph('A'), glyph('B'), glyph('a'))) << "'A' and 'a' are the same picture";
    const int baseline = lowestInkRow('A');
    ASSERT_GT(baseline, 0);
    EXPECT_EQ(std::tuple(lowestInkRow('H'), lowestInkRow('x')), std::tuple(baseline, baseline));
    EXPECT_TRUE(lowestInkRow('g') > baseline && lowestInkRow('p') > baseline) << "no descenders";
}
