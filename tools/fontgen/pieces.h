// Glyphs drawn by code rather than taken from a font: the graphic pieces 127–159 that
// join into lines, frames, icons and the title bar, the title bar ends 18 and 19, the
// visible blank 160 and the control pictures 0–31.
#pragma once

#include <array>

#include "canvas.h"
#include "text_raster.h"

namespace fontgen {

using GlyphSet = std::array<Cell, glyphCount>;

// Rows of the centred strokes, shared by every piece that must meet another.
struct Strokes {
    static constexpr int lightX0 = 7, lightX1 = 9;    // │
    static constexpr int lightY0 = 15, lightY1 = 17;  // ─
    static constexpr int heavyX0 = 6, heavyX1 = 10;
    static constexpr int heavyY0 = 14, heavyY1 = 18;
    static constexpr int doubleY[2][2] = {{12, 14}, {18, 20}};  // ═
    static constexpr int doubleX[2][2] = {{4, 6}, {10, 12}};    // ║
};

// Fills 18, 19, 127–153, 155–159 and 160.
void drawPieces(GlyphSet& glyphs, int baselineRow);

// Fills 0–31 except 18 and 19 with the abbreviated control names set diagonally, as the
// Unicode control pictures show them (neither DejaVu face has those).
void drawControlPictures(GlyphSet& glyphs, TextRasterizer& text);

}  // namespace fontgen
