#include "input/dialog.h"

#include <gtest/gtest.h>

#include "display/window.h"
#include "support/toolkit_fixture.h"
#include "terminal/area.h"
#include "terminal/cursor.h"

using namespace testing_support;

namespace {
constexpr uint8_t leftPiece = 139, rightPiece = 138, bottomPiece = 140, titlePiece = 159;

// Fills the window with dots so that cleared and untouched cells can be told apart.
void fillWithDots(uint8_t n) {
    t_Window& w = kt::windowRecord(n);
    t_FullArea(n);
    for (int64_t y = 1; y <= w.TextHeight; ++y) t_TextHline(n, 1, w.TextWidth, y, '.');
}

// The codes of cells from..to of line y, one character each.
std::string cells(int64_t y, int64_t from, int64_t to) {
    std::string out;
    for (int64_t x = from; x <= to; ++x) out += static_cast<char>(cellCode(0, x, y));
    return out;
}
}  // namespace

TEST(Dialog, TheFrameSurroundsAClearedInsideThatBecomesTheTextArea) {
    t_Window& w = textWindow();
    fillWithDots(0);
    w.TextDisplayMode = 1;
    t_Dialog(0, "Titel", 5, 3, 30, 8);
    EXPECT_EQ(w.TextDisplayMode, 1);
    w.TextDisplayMode = 0;
    EXPECT_EQ(cellCode(0, 5, 3), leftPiece);
    EXPECT_EQ(cellCode(0, 30, 3), rightPiece);
    // Title bar of 24 cells: 7 line pieces, the left end, " Titel ", the right end, 8 pieces.
    EXPECT_EQ(cells(3, 6, 12), std::string(7, static_cast<char>(titlePiece)));
    EXPECT_EQ(cellCode(0, 13, 3), 18);
    EXPECT_EQ(cells(3, 14, 20), " Titel ");
    EXPECT_EQ(cellCode(0, 21, 3), 19);
    EXPECT_EQ(cells(3, 22, 29), std::string(8, static_cast<char>(titlePiece)));
    for (int64_t y = 4; y <= 7; ++y) {
        EXPECT_EQ(cellCode(0, 5, y), leftPiece) << y;
        EXPECT_EQ(cellCode(0, 30, y), rightPiece) << y;
        EXPECT_EQ(cells(y, 6, 29), std::string(24, ' ')) << y;
        EXPECT_EQ(cellCode(0, 4, y), '.');
        EXPECT_EQ(cellCode(0, 31, y), '.');
    }
    // The bottom line has no corner pieces.
    EXPECT_EQ(cellCode(0, 5, 8), '.');
    for (int64_t x = 6; x <= 29; ++x) EXPECT_EQ(cellCode(0, x, 8), bottomPiece) << x;
    EXPECT_EQ(cellCode(0, 30, 8), '.');
    EXPECT_EQ(screenLine(0, 9), std::string(80, '.'));

    EXPECT_EQ(w.TextFirstColumn, 6);
    EXPECT_EQ(w.TextLastColumn, 29);
    EXPECT_EQ(w.TextFirstLine, 4);
    EXPECT_EQ(w.TextLastLine, 7);
    EXPECT_EQ(w.TextHpos, 6);
    EXPECT_EQ(w.TextVpos, 4);
}

TEST(Dialog, AFrameWithoutInnerLinesKeepsItsTitleAndBottomLine) {
    t_Window& w = textWindow();
    fillWithDots(0);
    t_Dialog(0, "Kurz", 10, 5, 40, 6);
    EXPECT_EQ(cellCode(0, 10, 5), leftPiece);
    EXPECT_EQ(cellCode(0, 40, 5), rightPiece);
    EXPECT_NE(cells(5, 11, 39).find(" Kurz "), std::string::npos);
    for (int64_t x = 11; x <= 39; ++x) EXPECT_EQ(cellCode(0, x, 6), bottomPiece) << x;
    EXPECT_EQ(cellCode(0, 10, 6), '.');
    EXPECT_EQ(screenLine(0, 4), std::string(80, '.'));
    EXPECT_EQ(screenLine(0, 7), std::string(80, '.'));
    EXPECT_EQ(w.TextFirstLine, 1);
    EXPECT_EQ(w.TextLastLine, 25);
}

TEST(Dialog, BadWindowsAndBoxesDrawNothing) {
    textWindow();
    fillWithDots(0);
    LogCapture log;
    t_Dialog(8, "x", 1, 1, 10, 5);
    t_Dialog(5, "x", 1, 1, 10, 5);
    t_Dialog(0, "x", 1, 5, 10, 5);
    EXPECT_EQ(log.text(),
              "t_Dialog: Window is not a graphic window.\n"
              "t_Dialog: Window #5 not initialized.\n"
              "t_Dialog: Bottom line must lie below the top line.\n");
    EXPECT_EQ(screenLine(0, 1), std::string(80, '.'));
    EXPECT_EQ(screenLine(0, 5), std::string(80, '.'));
}

TEST(Dialog, TheMessageBoxIsCentredInTheTextArea) {
    t_Window& w = textWindow();
    t_Dialog(0, "Meldung", "Zeile eins", "Zeile zwei", "Zeile drei", "?");
    EXPECT_EQ(cellCode(0, 10, 12), leftPiece);
    EXPECT_EQ(cellCode(0, 70, 12), rightPiece);
    EXPECT_EQ(cellCode(0, 10, 15), leftPiece);
    EXPECT_EQ(cellCode(0, 11, 16), bottomPiece);
    EXPECT_EQ(cellCode(0, 69, 16), bottomPiece);
    EXPECT_EQ(cells(13, 10, 70), "\x8B      Zeile eins" + std::string(43, ' ') + "\x8A");
    EXPECT_EQ(cells(14, 11, 26), "  ?   Zeile zwei");
    EXPECT_EQ(cells(15, 11, 26), "      Zeile drei");
    // Five inverse cells in front of each line; the mark itself is not inverse.
    const uint8_t normal = cellColour(0, 17, 13);
    for (int64_t x = 11; x <= 15; ++x) EXPECT_NE(cellColour(0, x, 13), normal) << x;
    EXPECT_EQ(cellColour(0, 13, 14), normal);
    EXPECT_NE(cellColour(0, 12, 14), normal);
    EXPECT_NE(cellColour(0, 15, 14), normal);
    // Afterwards the whole window is the text area and the cursor stands on the mark.
    EXPECT_EQ(w.TextFirstColumn, 1);
    EXPECT_EQ(w.TextLastColumn, 80);
    EXPECT_EQ(w.TextFirstLine, 1);
    EXPECT_EQ(w.TextLastLine, 25);
    EXPECT_EQ(w.TextHpos, 13);
    EXPECT_EQ(w.TextVpos, 14);
    EXPECT_FALSE(w.TextInverse);

    textWindow(0, 96, 25);
    t_Dialog(0, "Meldung", "", "", "", "");
    EXPECT_EQ(cellCode(0, 18, 12), leftPiece);
    EXPECT_EQ(cellCode(0, 78, 12), rightPiece);
    EXPECT_EQ(cellCode(0, 77, 16), bottomPiece);
}

TEST(Dialog, MessageLinesAreCutAndATwoCharacterMarkWidensTheMiddleLine) {
    textWindow();
    const std::string sixty = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWX";
    t_Dialog(0, "T", sixty, "zwei", "drei", "ab");
    EXPECT_EQ(cells(13, 11, 68), "      " + sixty.substr(0, 52));
    EXPECT_EQ(cellCode(0, 69, 13), ' ');
    EXPECT_EQ(cells(14, 11, 21), "  ab   zwei");
    EXPECT_EQ(cells(15, 11, 20), "      drei");
    EXPECT_EQ(cellCode(0, 21, 14), 'i');
    EXPECT_EQ(cellCode(0, 20, 15), 'i');
    EXPECT_EQ(cellCode(0, 21, 15), ' ');
    // A multi-byte character counts once.
    t_Dialog(0, "T", "\u00E4" + sixty, "", "", "");
    EXPECT_EQ(cells(13, 11, 68), "      \xE4" + sixty.substr(0, 51));
}
