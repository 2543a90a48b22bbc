// The editor's end-to-end scripts (prompts.script and others) pin the message box's lines
// as the editor shows them in 80 columns.
#include "input/dialog.h"

#include <gtest/gtest.h>

#include "support/toolkit_fixture.h"
#include "terminal/area.h"

using namespace testing_support;

namespace {
// The frame's pieces: left and right side, bottom line, title line.
const std::string L = "\x8B", R = "\x8A";
std::string bottom(size_t n) { return std::string(n, '\x8C'); }
std::string rule(size_t n) { return std::string(n, '\x9F'); }
const std::string dots(80, '.');

// Window 0 filled with dots, so that cleared and untouched cells can be told apart.
t_Window& dottedWindow() {
    t_Window& w = textWindow();
    for (int64_t y = 1; y <= w.TextHeight; ++y) t_TextHline(0, 1, w.TextWidth, y, '.');
    return w;
}
}  // namespace

TEST(Dialog, TheFrameSurroundsAClearedInsideThatBecomesTheTextAreaAndTheMessageBoxIsCentredAndCut) {
    t_Window& w = dottedWindow();
    w.TextDisplayMode = 1;
    t_Dialog(0, "Titel", 5, 3, 30, 8);
    // Title bar of 24 cells: 7 line pieces, the left end, " Titel ", the right end, 8 pieces.
    EXPECT_EQ(cells(0, 3, 5, 30), L + rule(7) + "\x12 Titel \x13" + rule(8) + R);
    for (int64_t y = 4; y <= 7; ++y) EXPECT_EQ(cells(0, y, 4, 31), "." + L + std::string(24, ' ') + R + ".") << y;
    EXPECT_EQ(cells(0, 8, 5, 30), "." + bottom(24) + ".");  // no corner pieces
    EXPECT_EQ(std::tuple(screenLine(0, 9), w.TextFirstColumn, w.TextLastColumn, w.TextFirstLine, w.TextLastLine,
                         cursorOf(w), w.TextDisplayMode),
              std::tuple(dots, 6, 29, 4, 7, std::pair<int64_t, int64_t>(6, 4), 1));
    w.TextDisplayMode = 0;

    // Without inner lines it keeps its title and bottom line.
    dottedWindow();
    t_Dialog(0, "Kurz", 10, 5, 40, 6);
    EXPECT_EQ(std::tuple(cells(0, 5, 10, 40), cells(0, 6, 10, 41), screenLine(0, 4), screenLine(0, 7)),
              std::tuple(L + rule(10) + "\x12 Kurz \x13" + rule(11) + R, "." + bottom(29) + "..", dots, dots));

    // Bad windows and boxes draw nothing.
    dottedWindow();
    LogCapture log;
    t_Dialog(8, "x", 1, 1, 10, 5);
    t_Dialog(5, "x", 1, 1, 10, 5);
    t_Dialog(0, "x", 1, 5, 10, 5);
    EXPECT_EQ(log.text(),
              "t_Dialog: Window is not a graphic window.\nt_Dialog: Window #5 not initialized.\n"
              "t_Dialog: Bottom line must lie below the top line.\n");
    EXPECT_EQ(std::tuple(screenLine(0, 1), screenLine(0, 5)), std::tuple(dots, dots));

    // The message box: five inverse cells in front of each line; the mark itself is not inverse.
    textWindow();
    t_Dialog(0, "Meldung", "Zeile eins", "Zeile zwei", "Zeile drei", "?");
    const uint8_t normal = cellColour(0, 17, 13);
    for (int64_t x = 11; x <= 15; ++x) EXPECT_NE(cellColour(0, x, 13), normal) << x;
    EXPECT_EQ(
        std::tuple(cellColour(0, 12, 14) == normal, cellColour(0, 13, 14) == normal, cellColour(0, 15, 14) == normal),
        std::tuple(false, true, false));
    // Afterwards the whole window is the text area and the cursor stands on the mark.
    EXPECT_EQ(
        std::tuple(w.TextFirstColumn, w.TextLastColumn, w.TextFirstLine, w.TextLastLine, cursorOf(w), w.TextInverse),
        std::tuple(1, 80, 1, 25, std::pair<int64_t, int64_t>(13, 14), false));
    // A long first line is cut; a mark of two characters widens the middle line; a multi-byte
    // character counts once.
    const std::string sixty = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWX";
    t_Dialog(0, "T", sixty, "zwei", "drei", "ab");
    EXPECT_EQ(std::tuple(cells(0, 13, 11, 69), cells(0, 14, 11, 21), cells(0, 15, 11, 21)),
              std::tuple("      " + sixty.substr(0, 52) + " ", "  ab   zwei", "      drei "));
    t_Dialog(0, "T", "\u00E4" + sixty, "", "", "");
    EXPECT_EQ(cells(0, 13, 11, 68), "      \xE4" + sixty.substr(0, 51));
    // In 96 columns the box spans columns 18 to 78.
    textWindow(0, 96, 25);
    t_Dialog(0, "Meldung", "", "", "", "");
    EXPECT_EQ(std::tuple(cells(0, 12, 18, 18) + cells(0, 12, 78, 78), cells(0, 16, 18, 78)),
              std::tuple(L + R, " " + bottom(59) + " "));
}
