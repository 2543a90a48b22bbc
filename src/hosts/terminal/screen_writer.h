// Window 0's text cells as terminal output: each code as the character it depicts in our
// font, the palette colours as SGR sequences, and per frame only the cells that changed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host::terminal {

enum class ColourMode { trueColour, xterm256 };

// 24-bit colour where the terminal says it has it (COLORTERM truecolor or 24bit), else the
// 256 xterm colours.
ColourMode colourModeFor(const char* colorterm);

// UTF-8 of the character that a code depicts in the font: Latin-1 with the font's own
// symbols, box drawing for the frame and line pieces, control pictures for 0–31. Every
// one is a single printable character one column wide.
std::string_view cellText(uint8_t code);

// The xterm colour nearest to a colour, among 16–255 (the first 16 follow the user's theme).
int nearestXtermColour(uint8_t red, uint8_t green, uint8_t blue);

struct Cell {
    uint8_t code = ' ';
    uint8_t colour = 0;  // foreground number in the high four bits, background in the low
    bool operator==(const Cell&) const = default;
};

class ScreenWriter {
public:
    explicit ScreenWriter(ColourMode mode);

    // Appends the output that makes the terminal show `cells` (columns × rows, row by row)
    // at the origin, writing only what differs from the last frame.
    void frame(const std::vector<Cell>& cells, int columns, int rows, std::string& out);
    // Where the frame's top left cell goes on the terminal (0-based); a new place draws the
    // whole frame anew on a cleared screen.
    void setOrigin(int row, int column);
    // The terminal's content is unknown (cleared, resized, written by others): the next
    // frame clears the screen and draws every cell.
    void invalidate();
    // Appends what clears the screen in the terminal's default colours.
    void clear(std::string& out);

private:
    void moveTo(int row, int column, std::string& out);
    void setColours(uint8_t colour, std::string& out);
    // Whether the cells from column `from` up to `to` (excluded) of a row can be written
    // again instead of moving over them: cheaper, and needing no colour change.
    bool bridge(const std::vector<Cell>& cells, int rowStart, int from, int to) const;

    ColourMode mode_;
    std::string foreground_[16], background_[16];  // the SGR parameters of each colour
    std::vector<Cell> shown_;
    int columns_ = 0, rows_ = 0;
    int top_ = 0, left_ = 0;
    bool valid_ = false;
    // The terminal's cursor in the frame's cells (0-based; the home is −origin after a clear,
    // −1 before the first) and pen (colour numbers, −1 the default).
    int row_ = -1, column_ = -1;
    int foregroundPen_ = -1, backgroundPen_ = -1;
    bool reversePen_ = false;
    bool penKnown_ = false;
};

}  // namespace host::terminal
