#include "input/dialog.h"

#include "app/log.h"
#include "display/window.h"
#include "display/placement.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/print.h"
#include "terminal/text.h"

namespace {

// In display mode 2 these letters are drawn as the frame pieces 139, 138 and 140.
constexpr uint8_t sideLeft = 'k';
constexpr uint8_t sideRight = 'j';
constexpr uint8_t bottomLine = 'l';

// The three message lines are cut to this many characters.
constexpr size_t messageLength = 52;

}  // namespace

void t_Dialog(uint8_t window, const std::string& title, int64_t left, int64_t top, int64_t right, int64_t bottom) {
    if (!kt::checkWindow("t_Dialog", window)) return;
    if (bottom <= top) {
        kt::logLine("t_Dialog: Bottom line must lie below the top line.");
        return;
    }
    t_Window& w = kt::windowRecord(window);
    const int64_t savedMode = w.TextDisplayMode;
    t_FullArea(window);

    w.TextDisplayMode = 2;
    t_Vtab(window, top);
    t_Htab(window, left);
    t_PrintChar(window, sideLeft);
    w.TextDisplayMode = 0;
    t_PrintTitleLine(window, title, right - left - 1);
    w.TextDisplayMode = 2;
    t_PrintChar(window, sideRight);

    for (int64_t line = top + 1; line < bottom; ++line) {
        t_Vtab(window, line);
        t_Htab(window, left);
        t_PrintChar(window, sideLeft);
        t_Htab(window, right);
        t_PrintChar(window, sideRight);
    }
    t_Vtab(window, bottom);
    t_Htab(window, left + 1);
    for (int64_t i = 0; i < right - left - 1; ++i) t_PrintChar(window, bottomLine);
    w.TextDisplayMode = 0;

    if (bottom - top >= 2) {
        t_Area(window, left + 1, top + 1, right - 1, bottom - 1);
        t_CursorHome(window);
        t_ClearEndOfWindow(window);
    } else {
        // No line between the title and the bottom line: clearing "the inside" would clear
        // the frame itself, so the whole window stays the text area.
        t_Vtab(window, bottom);
        t_Htab(window, left + 1);
    }
    w.TextDisplayMode = savedMode;
}

void t_Dialog(uint8_t window, const std::string& title, const std::string& line1, const std::string& line2,
              const std::string& line3, const std::string& mark) {
    const int64_t left = (t_WindowPos(window, 4) - 60) / 2;
    t_FullArea(window);
    const int64_t columns = t_WindowPos(window, 4);
    t_Dialog(window, title, left, 12, columns - left, 16);

    // Codes 15 and 14 switch inverse display on and off: each line starts with a block of five
    // inverse cells, the middle one with the mark inside it.
    const std::string on = "\x0F", off = "\x0E";
    t_Print(window, on + "     " + off + " " + kt::firstScalars(line1, messageLength));
    t_Cr(window);
    t_Print(window, on + "  " + off + kt::firstScalars(mark, 2) + on + "  " + off + " " +
                        kt::firstScalars(line2, messageLength));
    t_Cr(window);
    t_Print(window, on + "     " + off + " " + kt::firstScalars(line3, messageLength));
    t_Vtab(window, 14);
    t_Htab(window, 3);
    t_FullArea(window);
}
