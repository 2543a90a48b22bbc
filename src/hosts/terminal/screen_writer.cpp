#include "hosts/terminal/screen_writer.h"

#include <array>
#include <cstring>
#include <utility>

#include "app/log.h"
#include "app/utf8.h"
#include "display/font_characters.h"
#include "display/glyph.h"

namespace host::terminal {
namespace {

constexpr int cubeLevels[6] = {0, 95, 135, 175, 215, 255};

std::array<uint8_t, 3> xtermColour(int index) {
    if (index >= 232) {
        const auto grey = static_cast<uint8_t>(8 + 10 * (index - 232));
        return {grey, grey, grey};
    }
    const int n = index - 16;
    return {static_cast<uint8_t>(cubeLevels[n / 36]), static_cast<uint8_t>(cubeLevels[(n / 6) % 6]),
            static_cast<uint8_t>(cubeLevels[n % 6])};
}

// Length of the cursor-forward sequence over n cells.
size_t forwardLength(int n) { return n == 1 ? 3 : 3 + std::to_string(n).size(); }

}  // namespace

ColourMode colourModeFor(const char* colorterm) {
    if (colorterm && (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0))
        return ColourMode::trueColour;
    return ColourMode::xterm256;
}

std::string_view cellText(uint8_t code) { return kt::fontCharacter(code); }

int nearestXtermColour(uint8_t red, uint8_t green, uint8_t blue) {
    int best = 16;
    long bestDistance = -1;
    for (int index = 16; index < 256; ++index) {
        const auto c = xtermColour(index);
        const long dr = long(c[0]) - red, dg = long(c[1]) - green, db = long(c[2]) - blue;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = index;
            bestDistance = distance;
        }
    }
    return best;
}

ScreenWriter::ScreenWriter(ColourMode mode) : mode_(mode) {
    const auto& palette = t_Palette();
    for (int n = 0; n < 16; ++n) {
        const auto& e = palette[n];
        std::string colour;
        if (mode_ == ColourMode::trueColour)
            colour = "2;" + std::to_string(e.Red) + ";" + std::to_string(e.Green) + ";" + std::to_string(e.Blue);
        else
            colour = "5;" + std::to_string(nearestXtermColour(e.Red, e.Green, e.Blue));
        foreground_[n] = "38;" + colour;
        background_[n] = "48;" + colour;
    }
}

void ScreenWriter::invalidate() { valid_ = false; }

void ScreenWriter::setOrigin(int row, int column) {
    if (row == top_ && column == left_) return;
    top_ = row;
    left_ = column;
    valid_ = false;
}

void ScreenWriter::clear(std::string& out) {
    out += "\x1b[0m\x1b[H\x1b[2J";
    foregroundPen_ = backgroundPen_ = -1;
    reversePen_ = false;
    penKnown_ = true;
    // The terminal's home, in the frame's cells.
    row_ = -top_;
    column_ = -left_;
}

void ScreenWriter::moveTo(int row, int column, std::string& out) {
    if (row == row_ && column == column_) return;
    if (row == row_ && column_ >= 0 && column > column_) {
        const int n = column - column_;
        out += n == 1 ? "\x1b[C" : "\x1b[" + std::to_string(n) + "C";
    } else if (row_ >= -top_ && row == row_ + 1 && column == 0 && left_ == 0) {
        // With output processing off, the line feed moves straight down; the grid never
        // reaches below the terminal's last row, so it never scrolls.
        out += "\r\n";
    } else if (column + left_ == 0) {
        out += "\x1b[" + std::to_string(row + top_ + 1) + "H";
    } else {
        out += "\x1b[" + std::to_string(row + top_ + 1) + ";" + std::to_string(column + left_ + 1) + "H";
    }
    row_ = row;
    column_ = column;
}

void ScreenWriter::setColours(uint8_t colour, std::string& out) {
    const int fg = colour >> 4, bg = colour & 15;
    // The cell drawn plainly, or with the pen's colours swapped by reverse video: whichever
    // needs the shorter change (the inverted cursor and the inverse lines cost 4 bytes).
    auto change = [&](bool reverse, int penFg, int penBg) {
        std::string parts;
        auto add = [&](const std::string& part) {
            if (!parts.empty()) parts += ';';
            parts += part;
        };
        if (!penKnown_) add("0");
        if (!penKnown_ || reverse != reversePen_) add(reverse ? "7" : "27");
        if (!penKnown_ || foregroundPen_ != penFg) add(foreground_[penFg]);
        if (!penKnown_ || backgroundPen_ != penBg) add(background_[penBg]);
        return parts;
    };
    std::string plain = change(false, fg, bg), swapped = change(true, bg, fg);
    const bool reverse = swapped.size() < plain.size();
    const std::string& parts = reverse ? swapped : plain;
    if (parts.empty()) return;
    out += "\x1b[";
    out += parts;
    out += 'm';
    reversePen_ = reverse;
    foregroundPen_ = reverse ? bg : fg;
    backgroundPen_ = reverse ? fg : bg;
    penKnown_ = true;
}

bool ScreenWriter::bridge(const std::vector<Cell>& cells, int rowStart, int from, int to) const {
    if (!penKnown_ || foregroundPen_ < 0 || backgroundPen_ < 0) return false;
    const int shownColour =
        reversePen_ ? (backgroundPen_ << 4 | foregroundPen_) : (foregroundPen_ << 4 | backgroundPen_);
    size_t bytes = 0;
    for (int c = from; c < to; ++c) {
        const Cell& cell = cells[size_t(rowStart + c)];
        if (cell.colour != shownColour) return false;
        bytes += cellText(cell.code).size();
    }
    return bytes <= forwardLength(to - from);
}

void ScreenWriter::frame(const std::vector<Cell>& cells, int columns, int rows, std::string& out) {
    if (columns <= 0 || rows <= 0 || cells.size() < size_t(columns) * size_t(rows)) return;
    const bool full = !valid_ || columns != columns_ || rows != rows_;
    if (full) {
        clear(out);
        shown_.assign(size_t(columns) * size_t(rows), Cell{});
        columns_ = columns;
        rows_ = rows;
        valid_ = true;
    }
    for (int r = 0; r < rows; ++r) {
        const int rowStart = r * columns;
        for (int c = 0; c < columns; ++c) {
            const size_t i = size_t(rowStart + c);
            if (!full && cells[i] == shown_[i]) continue;
            if (row_ == r && column_ >= 0 && column_ < c && bridge(cells, rowStart, column_, c)) {
                for (int b = column_; b < c; ++b) out += cellText(cells[size_t(rowStart + b)].code);
                column_ = c;
            } else {
                moveTo(r, c, out);
            }
            setColours(cells[i].colour, out);
            out += cellText(cells[i].code);
            shown_[i] = cells[i];
            // In the last column the cursor stays put (or waits to wrap): ask again.
            column_ = c + 1 < columns ? c + 1 : -1;
        }
    }
}

}  // namespace host::terminal
