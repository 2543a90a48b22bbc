#include "pieces.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace fontgen {
namespace {

using S = Strokes;

enum class Weight { None, Light, Heavy };

// A box-drawing piece of one weight: each arm runs from the cell edge across the centre
// stroke, so arms meet without a gap and the corners are square.
Cell boxPiece(Weight left, Weight right, Weight up, Weight down) {
    Canvas c(cellWidth, cellHeight);
    auto spanX = [](Weight w) {
        return w == Weight::Heavy ? std::pair{S::heavyX0, S::heavyX1} : std::pair{S::lightX0, S::lightX1};
    };
    auto spanY = [](Weight w) {
        return w == Weight::Heavy ? std::pair{S::heavyY0, S::heavyY1} : std::pair{S::lightY0, S::lightY1};
    };
    Weight horizontal = left != Weight::None ? left : right;
    Weight vertical = up != Weight::None ? up : down;
    auto [hy0, hy1] = spanY(horizontal);
    auto [vx0, vx1] = spanX(vertical);
    // A piece without a vertical arm still ends its horizontal arms at the centre.
    if (vertical == Weight::None) std::tie(vx0, vx1) = spanX(horizontal);
    if (horizontal == Weight::None) std::tie(hy0, hy1) = spanY(vertical);
    if (left != Weight::None) c.fill(0, hy0, vx1, hy1);
    if (right != Weight::None) c.fill(vx0, hy0, cellWidth, hy1);
    if (up != Weight::None) c.fill(vx0, 0, vx1, hy1);
    if (down != Weight::None) c.fill(vx0, hy0, vx1, cellHeight);
    return c.cell(0);
}

// The double line ═ across a stretch of the cell.
void doubleHorizontal(Canvas& c, int x0, int x1) {
    for (const auto& line : S::doubleY) c.fill(x0, line[0], x1, line[1]);
}

Cell mixedPiece(bool left, bool right, bool up, bool down) {
    // Double horizontal arms meeting a light vertical: where the title bar's ═ meets │.
    Canvas c(cellWidth, cellHeight);
    if (up) c.fill(S::lightX0, 0, S::lightX1, down ? cellHeight : S::doubleY[0][1]);
    if (down) c.fill(S::lightX0, up ? 0 : S::doubleY[1][0], S::lightX1, cellHeight);
    doubleHorizontal(c, left ? 0 : S::lightX0, right ? cellWidth : S::lightX1);
    return c.cell(0);
}

Cell doubleCross() {
    // ╬: each quarter holds the corner where one outer line turns into another.
    Canvas c(cellWidth, cellHeight);
    const int top = S::doubleY[0][1], bottom = S::doubleY[1][0];
    const int left = S::doubleX[0][1], right = S::doubleX[1][0];
    c.fill(0, S::doubleY[0][0], left, top);
    c.fill(S::doubleX[0][0], 0, left, top);
    c.fill(right, S::doubleY[0][0], cellWidth, top);
    c.fill(right, 0, S::doubleX[1][1], top);
    c.fill(0, bottom, left, S::doubleY[1][1]);
    c.fill(S::doubleX[0][0], bottom, left, cellHeight);
    c.fill(right, bottom, cellWidth, S::doubleY[1][1]);
    c.fill(right, bottom, S::doubleX[1][1], cellHeight);
    return c.cell(0);
}

Cell checkerboard() {
    // 2 × 2 squares: 16 and 32 are multiples of 4, so the pattern runs on across cells.
    Canvas c(cellWidth, cellHeight);
    for (int y = 0; y < cellHeight; ++y)
        for (int x = 0; x < cellWidth; ++x)
            if ((x / 2 + y / 2) % 2 == 0) c.set(x, y, 255);
    return c.cell(0);
}

Cell padlock(int baseline) {
    // As tall as a capital, standing on the baseline: the shackle's arch on a solid body
    // with a keyhole.
    Canvas c(cellWidth, cellHeight);
    const int bodyTop = baseline - 11;
    const double archY = bodyTop - 2.5;
    c.fillShape([&](double x, double y) {
        double d = std::hypot(x - 8.0, y - archY);
        return y <= archY && d <= 5.0 && d >= 3.0;
    });
    c.fill(3, int(archY), 5, bodyTop);
    c.fill(11, int(archY), 13, bodyTop);
    c.fill(2, bodyTop, 14, baseline);
    // The keyhole in whole pixels: too small for a curve to survive grey edges.
    c.fill(7, bodyTop + 2, 9, bodyTop + 3, 0);
    c.fill(6, bodyTop + 3, 10, bodyTop + 5, 0);
    c.fill(7, bodyTop + 5, 9, bodyTop + 9, 0);
    return c.cell(0);
}

Cell circle() {
    Canvas c(cellWidth, cellHeight);
    c.fillShape([](double x, double y) {
        double d = std::hypot(x - 8.0, y - 15.0);
        return d <= 6.6 && d >= 4.6;
    });
    return c.cell(0);
}

// The four-cell icons share their middle and right end: the body outline runs between
// these rows, from the cap height down to the baseline.
struct IconRows {
    int top, bottom;  // outline rows [top, top + 2) and [bottom - 2, bottom)
};

Canvas iconBody(IconRows rows, int fromX) {
    Canvas c(4 * cellWidth, cellHeight);
    const int right = 4 * cellWidth - 1;  // one blank column before the next character
    c.fill(fromX, rows.top, right, rows.top + 2);
    c.fill(fromX, rows.bottom - 2, right, rows.bottom);
    c.fill(right - 2, rows.top, right, rows.bottom);
    // Clipped corners read as slightly rounded.
    c.set(right - 1, rows.top, 0);
    c.set(right - 1, rows.bottom - 1, 0);
    return c;
}

Canvas folderIcon(IconRows rows) {
    Canvas c = iconBody(rows, 1);
    const int tabTop = rows.top - 4;
    c.fill(1, tabTop, 3, rows.bottom);                                               // left side, up into the tab
    c.fill(1, tabTop, 9, tabTop + 2);                                                // the tab's top
    for (int i = 0; i <= 4; ++i) c.fill(9 + i, tabTop + i, 11 + i, tabTop + 2 + i);  // its slope
    c.set(1, tabTop, 0);
    c.set(1, rows.bottom - 1, 0);
    return c;
}

Canvas volumeIcon(IconRows rows) {
    // A drive seen from the front: a rounded end with a light, then the same body.
    const double radius = (rows.bottom - rows.top) / 2.0;
    const double centreX = 1 + radius, centreY = rows.top + radius;
    Canvas c = iconBody(rows, int(centreX));
    c.fillShape([&](double x, double y) {
        double d = std::hypot(x - centreX, y - centreY);
        return x <= centreX && d <= radius && d >= radius - 2;
    });
    c.fillShape([&](double x, double y) { return std::hypot(x - (centreX + 1.5), y - centreY) <= 2.3; });
    return c;
}

Canvas titleEndLeft() {
    // The double line runs in from the left and ends in a solid cap that fills the right
    // column completely, so the inverse title cells continue it.
    Canvas c(cellWidth, cellHeight);
    doubleHorizontal(c, 0, 8);
    c.fillShape([](double x, double y) {
        double dx = (x - cellWidth) / 11.0, dy = (y - cellHeight / 2.0) / 17.0;
        return dx * dx + dy * dy <= 1.0;
    });
    c.fill(cellWidth - 1, 0, cellWidth, cellHeight);
    return c;
}

Cell visibleBlank(int baseline) {
    // ˽: a shelf just under the baseline, its ends turned up, in the font's stem weight.
    Canvas c(cellWidth, cellHeight);
    c.fill(3, baseline + 1, 13, baseline + 3);
    c.fill(3, baseline - 4, 5, baseline + 3);
    c.fill(11, baseline - 4, 13, baseline + 3);
    return c.cell(0);
}

}  // namespace

void drawPieces(GlyphSet& glyphs, int baselineRow) {
    const Weight n = Weight::None, l = Weight::Light, h = Weight::Heavy;
    const IconRows rows{baselineRow - 16, baselineRow};

    glyphs[127] = checkerboard();
    glyphs[128] = padlock(baselineRow);
    Canvas folder = folderIcon(rows), volume = volumeIcon(rows);
    glyphs[129] = volume.cell(0);
    glyphs[130] = folder.cell(0);
    glyphs[131] = folder.cell(1);
    glyphs[132] = folder.cell(3);
    if (folder.cell(2) != glyphs[131] || volume.cell(1) != glyphs[131] || volume.cell(2) != glyphs[131] ||
        volume.cell(3) != glyphs[132])
        throw std::logic_error("the folder and the volume icon must share their middle and right end");
    glyphs[133] = circle();
    glyphs[134] = boxPiece(n, l, n, l);  // ┌
    glyphs[135] = boxPiece(l, n, n, l);  // ┐
    glyphs[136] = boxPiece(n, l, l, n);  // └
    glyphs[137] = boxPiece(l, n, l, n);  // ┘

    // Dialog frame sides: the left side stands at the right of its cell and the right side
    // at the left of its, so the frame hugs the cells between them.
    Canvas edge(cellWidth, cellHeight);
    edge.fill(0, 0, 2, cellHeight);
    glyphs[138] = edge.cell(0);
    glyphs[139] = edge.mirrored().cell(0);
    Canvas top(cellWidth, cellHeight);
    top.fill(0, 0, cellWidth, 2);
    glyphs[140] = top.cell(0);
    Canvas bottom(cellWidth, cellHeight);
    bottom.fill(0, cellHeight - 2, cellWidth, cellHeight);
    glyphs[141] = bottom.cell(0);

    glyphs[142] = boxPiece(n, l, l, l);                 // ├
    glyphs[143] = boxPiece(l, n, l, l);                 // ┤
    glyphs[144] = boxPiece(l, l, n, l);                 // ┬
    glyphs[145] = boxPiece(l, l, l, n);                 // ┴
    glyphs[146] = boxPiece(l, l, l, l);                 // ┼
    glyphs[147] = mixedPiece(false, true, true, true);  // ╞
    glyphs[148] = mixedPiece(true, false, true, true);  // ╡
    glyphs[149] = mixedPiece(true, true, false, true);  // ╤
    glyphs[150] = mixedPiece(true, true, true, false);  // ╧
    glyphs[151] = mixedPiece(true, true, true, true);   // ╪
    glyphs[152] = boxPiece(h, h, h, h);                 // ╋
    glyphs[153] = doubleCross();                        // ╬

    glyphs[155] = boxPiece(l, l, n, n);  // ─
    glyphs[156] = boxPiece(l, l, n, n);  // the rule across the screen
    glyphs[157] = boxPiece(n, n, l, l);  // │
    glyphs[158] = boxPiece(l, l, l, l);  // ┼
    Canvas title(cellWidth, cellHeight);
    doubleHorizontal(title, 0, cellWidth);
    glyphs[159] = title.cell(0);  // ═

    Canvas titleEnd = titleEndLeft();
    glyphs[18] = titleEnd.cell(0);
    glyphs[19] = titleEnd.mirrored().cell(0);

    glyphs[160] = visibleBlank(baselineRow);
}

void drawControlPictures(GlyphSet& glyphs, TextRasterizer& text) {
    static constexpr std::string_view names[32] = {
        "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT", "LF",  "VT",  "FF", "CR", "SO", "SI",
        "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US"};
    for (int code = 0; code < 32; ++code) {
        if (code == 18 || code == 19) continue;  // the title bar ends
        std::string_view name = names[code];
        Canvas c(cellWidth, cellHeight);
        // Letters step down to the right, as the control pictures set them.
        const bool three = name.size() == 3;
        const double size = three ? 11.0 : 13.0;
        const double x[3] = {three ? 3.5 : 4.5, three ? 8.0 : 11.5, 12.5};
        const int base[3] = {three ? 12 : 15, three ? 20 : 26, 28};
        for (size_t i = 0; i < name.size(); ++i)
            if (!text.stamp(c, char32_t(name[i]), size, x[i], base[i]))
                throw std::runtime_error("the fallback face has no letter " + std::string(1, name[i]));
        glyphs[size_t(code)] = c.cell(0);
    }
}

}  // namespace fontgen
