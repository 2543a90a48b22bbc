// Grey pixel canvases for the font generator: one glyph cell, or a strip of cells that a
// multi-cell picture is drawn on before it is cut into glyphs.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace fontgen {

constexpr int cellWidth = 16;
constexpr int cellHeight = 32;
constexpr int cellBytes = cellWidth * cellHeight;
constexpr int glyphCount = 256;

// One glyph: coverage 0 … 255, rows from the top, each row left to right.
using Cell = std::array<uint8_t, cellBytes>;

class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), pixels_(size_t(width) * size_t(height), 0) {}
    explicit Canvas(const Cell& cell);

    int width() const { return width_; }
    int height() const { return height_; }
    uint8_t at(int x, int y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }

    // Pixels outside the canvas are ignored, so callers can draw across the edges.
    void set(int x, int y, uint8_t value);
    // Raises a pixel to value: overlapping strokes keep the stronger coverage.
    void raise(int x, int y, uint8_t value);

    // Full-coverage rectangle, x0 ≤ x < x1, y0 ≤ y < y1: straight strokes stay crisp.
    void fill(int x0, int y0, int x1, int y1, uint8_t value = 255);
    // A curved area given by inside(x, y) in pixel coordinates (pixel centres at .5),
    // sampled 8 × 8 per pixel so its edge gets grey coverage.
    void fillShape(const std::function<bool(double, double)>& inside);

    // The cell at column index of a strip of cells.
    Cell cell(int index) const;
    Canvas mirrored() const;

private:
    int width_;
    int height_;
    std::vector<uint8_t> pixels_;
};

}  // namespace fontgen
