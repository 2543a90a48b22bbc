// The font resource the build generates: its header, and glyphs that are present,
// distinct and set on one baseline.
#include <gtest/gtest.h>

#include <string>

#include "display/font.h"
#include "files/fileio.h"

namespace {

constexpr int width = 16, height = 32, glyphBytes = width * height;

class FontResource : public ::testing::Test {
protected:
    // Read once: every test looks at the same file.
    static void SetUpTestSuite() {
        const std::string name = "DejaVuSansMono 16x32.font";
        font_ = kt::parseFont(getbinaryfromfile(std::string(OSTRAKONIX_TEST_RESOURCES) + "/" + name), name);
    }

    static uint8_t pixel(int code, int x, int y) { return font_.Data[size_t(code * glyphBytes + y * width + x)]; }
    static bool hasInk(int code) {
        for (int i = 0; i < glyphBytes; ++i)
            if (font_.Data[size_t(code * glyphBytes + i)]) return true;
        return false;
    }
    static int lowestInkRow(int code) {
        for (int y = height - 1; y >= 0; --y)
            for (int x = 0; x < width; ++x)
                if (pixel(code, x, y)) return y;
        return -1;
    }

    static inline t_Font font_;
};

TEST_F(FontResource, HeaderDescribesAllGreyGlyphs) {
    EXPECT_EQ(font_.Format, 2);
    EXPECT_EQ(font_.Start, 0);
    EXPECT_EQ(font_.End, 255);
    EXPECT_EQ(font_.Width, width);
    EXPECT_EQ(font_.Height, height);
    EXPECT_EQ(font_.Size, 256 * glyphBytes);
    ASSERT_EQ(font_.Data.size(), size_t(256 * glyphBytes));
}

TEST_F(FontResource, GlyphsThatMustShowSomething) {
    ASSERT_EQ(font_.Data.size(), size_t(256 * glyphBytes));
    EXPECT_FALSE(hasInk(' '));
    EXPECT_TRUE(hasInk('A'));
    EXPECT_TRUE(hasInk(160)) << "the visible blank";
    for (int code : {18, 19}) EXPECT_TRUE(hasInk(code)) << "title bar end " << code;
    for (int code = 128; code <= 159; ++code) EXPECT_TRUE(hasInk(code)) << "graphic piece " << code;
    bool differ = false;
    for (int i = 0; i < glyphBytes && !differ; ++i)
        differ = font_.Data[size_t('A' * glyphBytes + i)] != font_.Data[size_t('a' * glyphBytes + i)];
    EXPECT_TRUE(differ) << "'A' and 'a' are the same picture";
}

TEST_F(FontResource, LettersShareOneBaseline) {
    ASSERT_EQ(font_.Data.size(), size_t(256 * glyphBytes));
    const int baseline = lowestInkRow('A');
    ASSERT_GT(baseline, 0);
    EXPECT_EQ(lowestInkRow('H'), baseline);
    EXPECT_EQ(lowestInkRow('x'), baseline);
    EXPECT_GT(lowestInkRow('g'), baseline);
    EXPECT_GT(lowestInkRow('p'), baseline);
}

}  // namespace
