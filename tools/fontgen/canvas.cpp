#include "canvas.h"

#include <algorithm>

namespace fontgen {

Canvas::Canvas(const Cell& cell) : Canvas(cellWidth, cellHeight) { pixels_.assign(cell.begin(), cell.end()); }

void Canvas::set(int x, int y, uint8_t value) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[size_t(y) * size_t(width_) + size_t(x)] = value;
}

void Canvas::raise(int x, int y, uint8_t value) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t& pixel = pixels_[size_t(y) * size_t(width_) + size_t(x)];
    pixel = std::max(pixel, value);
}

void Canvas::fill(int x0, int y0, int x1, int y1, uint8_t value) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) set(x, y, value);
}

void Canvas::fillShape(const std::function<bool(double, double)>& inside) {
    constexpr int samples = 8;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            int hits = 0;
            for (int sy = 0; sy < samples; ++sy)
                for (int sx = 0; sx < samples; ++sx)
                    if (inside(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples)) ++hits;
            if (hits > 0) raise(x, y, uint8_t((hits * 255 + samples * samples / 2) / (samples * samples)));
        }
    }
}

Cell Canvas::cell(int index) const {
    Cell out{};
    for (int y = 0; y < cellHeight && y < height_; ++y)
        for (int x = 0; x < cellWidth; ++x) {
            int sourceX = index * cellWidth + x;
            if (sourceX < width_) out[size_t(y * cellWidth + x)] = at(sourceX, y);
        }
    return out;
}

Canvas Canvas::mirrored() const {
    Canvas out(width_, height_);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) out.set(width_ - 1 - x, y, at(x, y));
    return out;
}

}  // namespace fontgen
