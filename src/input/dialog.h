// Dialog boxes drawn with the text terminal: a framed box with a title bar, and the
// three-line message box of fixed height in the middle of a window.
#pragma once

#include <cstdint>
#include <string>

// Draws a frame from column left to right and line top to bottom (as t_Htab and t_Vtab take
// them) with the title in its top line, clears its inside and makes the inside the window's
// text area with the cursor at its first cell.
void t_Dialog(uint8_t window, const std::string& title, int64_t left, int64_t top, int64_t right, int64_t bottom);

// Draws the message box over lines 12 to 16, 60 columns wide and centred, with three lines
// of text (each cut to 52 characters) and a mark of up to 2 characters in front of line2.
// Leaves the whole window as the text area and the cursor on the mark.
void t_Dialog(uint8_t window, const std::string& title, const std::string& line1, const std::string& line2,
              const std::string& line3, const std::string& mark);
