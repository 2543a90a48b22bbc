#include "hosts/headless/png_writer.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace host {

bool writePng(const std::string& path, const Image& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> row(static_cast<size_t>(image.width) * 3);
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png))) ok = false;
    else if (ok) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < image.height; ++y) {
            const uint32_t* source = image.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width);
            for (int x = 0; x < image.width; ++x) {
                row[3 * x] = static_cast<uint8_t>(source[x] >> 16);
                row[3 * x + 1] = static_cast<uint8_t>(source[x] >> 8);
                row[3 * x + 2] = static_cast<uint8_t>(source[x]);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    if (std::fclose(file) != 0) ok = false;
    if (!ok) std::remove(path.c_str());
    return ok;
}

}  // namespace host
