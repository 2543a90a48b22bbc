// Renders characters of DejaVu Sans Mono (and DejaVu Sans where the mono face lacks one)
// into glyph cells with grey coverage, all on one baseline.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "canvas.h"

namespace fontgen {

class TextRasterizer {
public:
    // Throws std::runtime_error when a face can't be opened.
    TextRasterizer(const std::string& monoPath, const std::string& fallbackPath, double pixelSize, int baselineRow);
    ~TextRasterizer();
    TextRasterizer(const TextRasterizer&) = delete;
    TextRasterizer& operator=(const TextRasterizer&) = delete;

    // cp centred in the cell by its advance, origin on the baseline. A glyph whose ink
    // would leave the cell is drawn smaller rather than cut. Empty when neither face has
    // cp. note tells what was adjusted, if anything.
    std::optional<Cell> glyph(char32_t cp, std::string* note = nullptr);

    // Draws cp of the fallback face at pixelSize onto canvas with its ink centred on
    // column centreX and its origin on row baseline; false when the face lacks cp.
    bool stamp(Canvas& canvas, char32_t cp, double pixelSize, double centreX, int baseline);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace fontgen
