#include <gtest/gtest.h>

#include "support/toolkit_fixture.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/print.h"
#include "terminal/text.h"
#include "terminal/unicode.h"

using namespace testing_support;
using Pos = std::pair<int64_t, int64_t>;

namespace {
void printAt(int64_t x, int64_t y, const std::string& text) {
    t_Vtab(0, y);
    t_Htab(0, x);
    t_Print(0, text);
}
}  // namespace

TEST(Cursor, TabsLevelsAndMovingPastTheAreaEdges) {
    t_Window& w = textWindow();
    t_Area(0, 5, 3, 20, 10);
    // Tabs count from the area's corner; those beyond the window are ignored, others may leave
    // the area ('h' a column, 'v' a line, then where the cursor is).
    const std::tuple<char, int64_t, Pos> tabs[] = {{'h', 1, {5, 3}},  {'v', 1, {5, 1}},   {'h', 0, {5, 1}},
                                                   {'h', 77, {5, 1}}, {'h', 76, {80, 1}}, {'v', 26, {80, 1}}};
    for (auto [kind, value, position] : tabs) {
        kind == 'h' ? t_Htab(0, value) : t_Vtab(0, value);
        EXPECT_EQ(cursorOf(w), position) << kind << value;
    }
    EXPECT_EQ(t_Hpos(0), 76);
    // The cursor is drawn (inverted green on black) only while its level is 1; "-" lowers it, "+" raises it.
    t_Htab(0, 1);
    const std::tuple<std::string, int64_t, int64_t> levels[] = {
        {"+", 0x0C, 1}, {"+-", 0x0C, 1}, {"-", 0xC0, 0}, {"-+", 0xC0, 0}};
    for (const auto& [steps, colour, level] : levels) {
        for (char step : steps) step == '+' ? t_CursorOn(0) : t_CursorOff(0);
        EXPECT_EQ(Pos(cellColour(0, 5, 1), w.TextCursorLevel), Pos(colour, level)) << steps;
    }
    // Moving past the area edges wraps and scrolls, unless scrolling is locked.
    textWindow();
    t_Area(0, 1, 1, 80, 3);
    t_Print(0, "oben");
    t_CursorHome(0);
    t_CursorLeft(0);  // first cell: the area scrolls down
    EXPECT_EQ(std::tuple(cursorOf(w), screenLine(0, 1), screenLine(0, 2)), std::tuple(Pos(80, 1), "", "oben"));
    t_CursorEnd(0);
    t_CursorRight(0);  // last cell: the area scrolls up
    EXPECT_EQ(std::tuple(cursorOf(w), screenLine(0, 1)), std::tuple(Pos(1, 3), "oben"));
    w.ScrollLock = true;
    t_CursorDown(0);
    w.ScrollLock = false;
    EXPECT_EQ(std::tuple(w.TextVpos, screenLine(0, 1)), std::tuple(3, "oben"));
}

TEST(Area, PrintingPastTheAreaScrollsOnlyTheAreaScrollingMovesPixelsAndCellsAndClearingHonoursBounds) {
    t_Window& w = textWindow();
    printAt(1, 1, "Kopf");
    printAt(1, 21, "Fuss");
    t_Area(0, 1, 3, 80, 20);
    for (int i = 0; i < 19; ++i) t_Print(0, "Zeile " + std::to_string(i) + "\r");
    EXPECT_EQ(std::tuple(screenLine(0, 1), screenLine(0, 3), screenLine(0, 19), screenLine(0, 20), screenLine(0, 21)),
              std::tuple("Kopf", "Zeile 2", "Zeile 18", "", "Fuss"));
    t_Area(0, 0, 5, 80, 6);  // a bad column pair keeps the old columns
    EXPECT_EQ(std::tuple(w.TextFirstColumn, w.TextFirstLine, w.TextVpos), std::tuple(1, 5, 5));
    // Scrolling a narrow area leaves the rest of each line.
    textWindow();
    for (int y = 1; y <= 3; ++y) printAt(1, y, std::string(40, static_cast<char>('a' + y)));
    t_Area(0, 10, 1, 30, 3);
    t_ScrollUp(0);
    auto line = [](char l, char m) { return std::string(9, l) + std::string(21, m) + std::string(10, l); };
    EXPECT_EQ(std::tuple(screenLine(0, 1), screenLine(0, 3)), std::tuple(line('b', 'c'), line('d', ' ')));
    t_ScrollDown(0);
    EXPECT_EQ(std::tuple(screenLine(0, 1), screenLine(0, 2)), std::tuple(line('b', ' '), line('c', 'c')));

    // A scroll of the full width moves pixels and cells together; inverting twice restores.
    textWindow();
    printAt(1, 2, "X");
    auto pixelRows = [&](int64_t row, int64_t count = 1) {
        auto start = kt::display().memory.begin() + w.MemoryStart + row * w.Width * 3;
        return std::vector<uint8_t>(start, start + count * w.Width * 3);
    };
    std::vector<uint8_t> before = pixelRows(32 + 16);
    t_ScrollUp(0);
    EXPECT_EQ(std::tuple(screenLine(0, 1), screenLine(0, 25), pixelRows(16) == before), std::tuple("X", "", true));
    t_ScrollDown(0);
    t_ScrollDown(0);
    EXPECT_EQ(std::tuple(screenLine(0, 3), pixelRows(64 + 16) == before), std::tuple("X", true));

    before = pixelRows(0, w.Height);
    t_InvertRect(0, 1, 3, 1, 3);
    EXPECT_EQ(cellColour(0, 1, 3), 0x0C);
    t_InvertRect(0, 1, 3, 1, 3);
    EXPECT_EQ(std::tuple(pixelRows(0, w.Height) == before, cellColour(0, 1, 3)), std::tuple(true, 0xC0));

    // Clearing honours the area and the inverse colours; the screen reads as text.
    textWindow();
    t_Print(0, "abcdef");
    LogCapture log;
    t_Area(0, 1, 1, 3, 25);
    t_Htab(0, 5);  // right of the area
    t_ClearEndOfLine(0);
    t_ClearRect(0, 5, 5, 4, 6);
    EXPECT_EQ(std::tuple(screenLine(0, 1), log.text()), std::tuple("abcdef", ""));
    t_FullArea(0);
    printAt(3, 1, "");
    w.TextInverse = true;
    t_ClearEndOfLine(0);
    w.TextInverse = false;
    EXPECT_EQ(std::tuple(screenLine(0, 1), cellColour(0, 3, 1), cellColour(0, 2, 1)), std::tuple("ab", 0x0C, 0xC0));
    // Lines, and the screen as text.
    textWindow(0, 80, 24);
    EXPECT_EQ(t_GetScreen(0, "").size(), 1920u);
    t_Print(0, "OK");
    t_TextHline(0, 10, 5, 1, 156);  // from right to left: nothing
    printAt(1, 3, "ab");
    t_TextLine(0);
    EXPECT_EQ(std::tuple(cellCode(0, 80, 3), w.TextVpos), std::tuple(156, 4));
    EXPECT_EQ(t_GetScreen(0, "\r"), "OK\r\rab" + kt::latin1ToUtf8(std::vector<uint8_t>(78, 156)));
}

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
