#include "text_raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace fontgen {
namespace {

// A rendered glyph bitmap with its placement relative to the pen origin, and the box of
// its inked pixels (bitmaps carry empty margins).
struct Bitmap {
    std::vector<uint8_t> pixels;
    int width = 0;
    int rows = 0;
    int left = 0;                                    // columns right of the origin
    int top = 0;                                     // rows above the baseline
    long advance = 0;                                // 26.6 pixels
    int inkX0 = 0, inkX1 = 0, inkY0 = 0, inkY1 = 0;  // bitmap coordinates, end exclusive
    bool hasInk = false;

    uint8_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

std::string hex(char32_t cp) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", unsigned(cp));
    return buffer;
}

}  // namespace

struct TextRasterizer::Impl {
    FT_Library library = nullptr;
    FT_Face mono = nullptr;
    FT_Face fallback = nullptr;
    double pixelSize = 0;
    int baseline = 0;

    ~Impl() {
        if (fallback) FT_Done_Face(fallback);
        if (mono) FT_Done_Face(mono);
        if (library) FT_Done_FreeType(library);
    }

    FT_Face open(const std::string& path) {
        FT_Face face = nullptr;
        if (FT_New_Face(library, path.c_str(), 0, &face) != 0) throw std::runtime_error("cannot open font " + path);
        if (!FT_IS_SCALABLE(face)) {
            FT_Done_Face(face);
            throw std::runtime_error("not an outline font: " + path);
        }
        return face;
    }

    // Light hinting snaps heights to the pixel grid (so flat bottoms sit exactly on the
    // baseline) without squeezing the shapes sideways.
    std::optional<Bitmap> render(FT_Face face, char32_t cp, double size) {
        FT_UInt index = FT_Get_Char_Index(face, FT_ULong(cp));
        if (index == 0) return std::nullopt;
        if (FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(size * 64)), 72, 72) != 0 ||
            FT_Load_Glyph(face, index, FT_LOAD_TARGET_LIGHT) != 0 ||
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
            throw std::runtime_error("FreeType cannot render " + hex(cp));
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& source = slot->bitmap;
        if (source.pixel_mode != FT_PIXEL_MODE_GRAY && source.rows > 0)
            throw std::runtime_error("unexpected bitmap mode for " + hex(cp));
        Bitmap out;
        out.width = int(source.width);
        out.rows = int(source.rows);
        out.left = slot->bitmap_left;
        out.top = slot->bitmap_top;
        out.advance = slot->advance.x;
        out.pixels.resize(size_t(out.width) * size_t(out.rows));
        const int pitch = std::abs(source.pitch);
        out.inkX0 = out.width;
        out.inkY0 = out.rows;
        for (int y = 0; y < out.rows; ++y) {
            // A negative pitch stores the rows bottom up.
            const unsigned char* row = source.buffer + size_t(source.pitch < 0 ? out.rows - 1 - y : y) * size_t(pitch);
            for (int x = 0; x < out.width; ++x) {
                out.pixels[size_t(y) * size_t(out.width) + size_t(x)] = row[x];
                if (row[x] == 0) continue;
                out.hasInk = true;
                out.inkX0 = std::min(out.inkX0, x);
                out.inkX1 = std::max(out.inkX1, x + 1);
                out.inkY0 = std::min(out.inkY0, y);
                out.inkY1 = std::max(out.inkY1, y + 1);
            }
        }
        return out;
    }
};

TextRasterizer::TextRasterizer(const std::string& monoPath, const std::string& fallbackPath, double pixelSize,
                               int baselineRow)
    : impl_(std::make_unique<Impl>()) {
    if (FT_Init_FreeType(&impl_->library) != 0) throw std::runtime_error("cannot start FreeType");
    impl_->mono = impl_->open(monoPath);
    impl_->fallback = impl_->open(fallbackPath);
    impl_->pixelSize = pixelSize;
    impl_->baseline = baselineRow;
}

TextRasterizer::~TextRasterizer() = default;

std::optional<Cell> TextRasterizer::glyph(char32_t cp, std::string* note) {
    Impl& d = *impl_;
    FT_Face face = FT_Get_Char_Index(d.mono, FT_ULong(cp)) != 0 ? d.mono : d.fallback;
    std::string adjusted = face == d.mono ? "" : "from the fallback face";
    double size = d.pixelSize;
    // Hinting rounds each try a little differently, so shrink until the ink fits.
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::optional<Bitmap> bitmap = d.render(face, cp, size);
        if (!bitmap) return std::nullopt;
        Cell cell{};
        if (!bitmap->hasInk) return cell;
        // Whole-pixel placement keeps the stems as crisp as FreeType drew them.
        const int originX = int(std::lround((cellWidth * 64.0 - double(bitmap->advance)) / 128.0));
        int x0 = originX + bitmap->left;
        const int y0 = d.baseline - bitmap->top;
        const int inkLeft = x0 + bitmap->inkX0, inkRight = x0 + bitmap->inkX1;
        const int inkTop = y0 + bitmap->inkY0, inkBottom = y0 + bitmap->inkY1;
        const int inkWidth = inkRight - inkLeft;
        const bool fitsVertically = inkTop >= 0 && inkBottom <= cellHeight;
        if (inkWidth <= cellWidth && fitsVertically) {
            // A glyph a pixel too far to one side moves in rather than losing a column.
            int shift = inkLeft < 0 ? -inkLeft : inkRight > cellWidth ? cellWidth - inkRight : 0;
            if (shift != 0) adjusted += (adjusted.empty() ? "" : ", ") + std::string("moved into the cell");
            x0 += shift;
            for (int y = 0; y < bitmap->rows; ++y)
                for (int x = 0; x < bitmap->width; ++x) {
                    int cx = x0 + x, cy = y0 + y;
                    if (cx >= 0 && cx < cellWidth && cy >= 0 && cy < cellHeight)
                        cell[size_t(cy * cellWidth + cx)] = bitmap->at(x, y);
                }
            if (size != d.pixelSize) {
                char buffer[48];
                std::snprintf(buffer, sizeof buffer, "drawn at %.2f px to fit", size);
                adjusted += (adjusted.empty() ? "" : ", ") + std::string(buffer);
            }
            if (note) *note = adjusted;
            return cell;
        }
        double scale = std::min(1.0, double(cellWidth) / inkWidth);
        if (inkTop < 0) scale = std::min(scale, double(d.baseline) / double(d.baseline - inkTop));
        if (inkBottom > cellHeight)
            scale = std::min(scale, double(cellHeight - d.baseline) / double(inkBottom - d.baseline));
        size *= std::min(scale, 0.98);
    }
    throw std::runtime_error("cannot fit " + hex(cp) + " into the cell");
}

bool TextRasterizer::stamp(Canvas& canvas, char32_t cp, double pixelSize, double centreX, int baseline) {
    std::optional<Bitmap> bitmap = impl_->render(impl_->fallback, cp, pixelSize);
    if (!bitmap) return false;
    if (!bitmap->hasInk) return true;
    const int x0 = int(std::lround(centreX - (bitmap->inkX0 + bitmap->inkX1) / 2.0));
    const int y0 = baseline - bitmap->top;
    for (int y = 0; y < bitmap->rows; ++y)
        for (int x = 0; x < bitmap->width; ++x) canvas.raise(x0 + x, y0 + y, bitmap->at(x, y));
    return true;
}

}  // namespace fontgen
