// icongen: draws the application icon, a dark text screen in a light case with two rows of
// hexadecimal digits in phosphor green, as one SVG file and as PNG pictures of the sizes
// asked for. Both come from the one description below, so the pictures always match the SVG.
//
//   icongen FOLDER NAME SIZE...
//
// writes FOLDER/scalable/apps/NAME.svg and FOLDER/<SIZE>x<SIZE>/apps/NAME.png, the layout of
// an icon theme, ready to be installed as share/icons/hicolor.

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The design is drawn on a 32 × 32 grid. Every edge but the rounded corners lies on an even
// line, so at 16 pixels (and at every multiple of 16) the digits' dots are whole pixels.
constexpr double gridSize = 32;

struct Colour {
    uint8_t red, green, blue;
};

struct Box {
    double x, y, width, height;
};

// Boxes of one colour; a layer of one box may have rounded corners.
struct Layer {
    Colour colour;
    std::vector<Box> boxes;
    double radius = 0;
};

// Dots of the digits in a 3 × 5 matrix, one string per row.
const char* const* glyph(char digit) {
    static const char* const glyphs[16][5] = {
        {"###", "#.#", "#.#", "#.#", "###"},  // 0
        {".#.", "##.", ".#.", ".#.", "###"},  // 1
        {"###", "..#", "###", "#..", "###"},  // 2
        {"###", "..#", ".##", "..#", "###"},  // 3
        {"#.#", "#.#", "###", "..#", "..#"},  // 4
        {"###", "#..", "###", "..#", "###"},  // 5
        {"###", "#..", "###", "#.#", "###"},  // 6
        {"###", "..#", ".#.", ".#.", ".#."},  // 7
        {"###", "#.#", "###", "#.#", "###"},  // 8
        {"###", "#.#", "###", "..#", "###"},  // 9
        {".#.", "#.#", "###", "#.#", "#.#"},  // A
        {"##.", "#.#", "##.", "#.#", "##."},  // B
        {".##", "#..", "#..", "#..", ".##"},  // C
        {"##.", "#.#", "#.#", "#.#", "##."},  // D
        {"###", "#..", "##.", "#..", "###"},  // E
        {"###", "#..", "##.", "#..", "#.."},  // F
    };
    if (digit >= '0' && digit <= '9') return glyphs[digit - '0'];
    return glyphs[digit - 'A' + 10];
}

// The dots of a row of digits as boxes, runs of dots in a row joined into one box.
void addText(std::vector<Box>& boxes, const std::string& text, double x, double y) {
    constexpr double dot = 2, advance = 10;
    for (size_t i = 0; i < text.size(); ++i) {
        const char* const* rows = glyph(text[i]);
        for (int row = 0; row < 5; ++row) {
            for (int column = 0; column < 3;) {
                if (rows[row][column] != '#') {
                    ++column;
                    continue;
                }
                int end = column;
                while (end < 3 && rows[row][end] == '#') ++end;
                boxes.push_back(
                    {x + static_cast<double>(i) * advance + column * dot, y + row * dot, (end - column) * dot, dot});
                column = end;
            }
        }
    }
}

std::vector<Layer> design() {
    std::vector<Layer> layers;
    layers.push_back({{0xD4, 0xCD, 0xB8}, {{0, 0, 32, 32}}, 5});  // the case
    layers.push_back({{0x0E, 0x1A, 0x12}, {{2, 2, 28, 28}}, 3});  // the screen
    Layer digits{{0x3E, 0xE6, 0x6E}, {}, 0};
    addText(digits.boxes, "4F", 8, 4);  // "Os" in hexadecimal
    addText(digits.boxes, "73", 8, 18);
    layers.push_back(digits);
    return layers;
}

bool contains(const Layer& layer, double x, double y) {
    for (const Box& box : layer.boxes) {
        if (x < box.x || y < box.y || x >= box.x + box.width || y >= box.y + box.height) continue;
        if (layer.radius <= 0) return true;
        // In a corner of the box the point must lie within the radius of the corner's centre.
        double dx = std::max({box.x + layer.radius - x, x - (box.x + box.width - layer.radius), 0.0});
        double dy = std::max({box.y + layer.radius - y, y - (box.y + box.height - layer.radius), 0.0});
        if (dx * dx + dy * dy <= layer.radius * layer.radius) return true;
    }
    return false;
}

std::string hex(Colour colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
    return text;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string svg(const std::vector<Layer>& layers) {
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(gridSize) + "\" height=\"" +
                      number(gridSize) + "\" viewBox=\"0 0 " + number(gridSize) + " " + number(gridSize) + "\">\n";
    for (const Layer& layer : layers) {
        if (layer.boxes.size() == 1) {
            const Box& b = layer.boxes[0];
            out += "  <rect x=\"" + number(b.x) + "\" y=\"" + number(b.y) + "\" width=\"" + number(b.width) +
                   "\" height=\"" + number(b.height) + "\"";
            if (layer.radius > 0) out += " rx=\"" + number(layer.radius) + "\"";
            out += " fill=\"" + hex(layer.colour) + "\"/>\n";
            continue;
        }
        // One path, so that touching boxes show no seams between them.
        out += "  <path fill=\"" + hex(layer.colour) + "\" d=\"";
        for (size_t i = 0; i < layer.boxes.size(); ++i) {
            const Box& b = layer.boxes[i];
            out += (i ? " M" : "M") + number(b.x) + " " + number(b.y) + "h" + number(b.width) + "v" + number(b.height) +
                   "h" + number(-b.width) + "z";
        }
        out += "\"/>\n";
    }
    return out + "</svg>\n";
}

// The picture as rows of red, green, blue and alpha; each pixel is the mean of 8 × 8 samples.
std::vector<uint8_t> render(const std::vector<Layer>& layers, int size) {
    constexpr int samples = 8;
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * static_cast<size_t>(size) * 4);
    const double scale = gridSize / size;
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            double red = 0, green = 0, blue = 0, covered = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    double x = (px + (sx + 0.5) / samples) * scale, y = (py + (sy + 0.5) / samples) * scale;
                    for (auto layer = layers.rbegin(); layer != layers.rend(); ++layer) {
                        if (!contains(*layer, x, y)) continue;
                        red += layer->colour.red;
                        green += layer->colour.green;
                        blue += layer->colour.blue;
                        covered += 1;
                        break;
                    }
                }
            }
            uint8_t* pixel = &pixels[(static_cast<size_t>(py) * size + px) * 4];
            if (covered > 0) {
                pixel[0] = static_cast<uint8_t>(red / covered + 0.5);
                pixel[1] = static_cast<uint8_t>(green / covered + 0.5);
                pixel[2] = static_cast<uint8_t>(blue / covered + 0.5);
            }
            pixel[3] = static_cast<uint8_t>(covered * 255 / (samples * samples) + 0.5);
        }
    }
    return pixels;
}

// False when the file cannot be written; nothing is left behind then.
bool writePng(const std::string& path, const std::vector<uint8_t>& pixels, int size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png))) {
        ok = false;
    } else if (ok) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8,
                     PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < size; ++y) png_write_row(png, &pixels[static_cast<size_t>(y) * size * 4]);
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    if (std::fclose(file) != 0) ok = false;
    if (!ok) std::remove(path.c_str());
    return ok;
}

bool writeText(const std::string& path, const std::string& text) {
    {
        std::ofstream out(path, std::ios::binary);
        if (out << text && out.flush()) return true;
    }
    std::remove(path.c_str());
    return false;
}

// The folder for one kind of picture, made when missing.
std::string appsFolder(const std::string& root, const std::string& kind) {
    std::filesystem::path folder = std::filesystem::path(root) / kind / "apps";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder.string();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: icongen FOLDER NAME SIZE...\n", stderr);
        return 2;
    }
    const std::string root = argv[1], name = argv[2];
    if (name.empty() || name.find('/') != std::string::npos) {
        std::fprintf(stderr, "icongen: \"%s\" is no file name\n", name.c_str());
        return 2;
    }
    std::vector<int> sizes;
    for (int i = 3; i < argc; ++i) {
        char* end = nullptr;
        long size = std::strtol(argv[i], &end, 10);
        if (end == argv[i] || *end != '\0' || size < 1 || size > 1024) {
            std::fprintf(stderr, "icongen: \"%s\" is no size from 1 to 1024\n", argv[i]);
            return 2;
        }
        sizes.push_back(static_cast<int>(size));
    }

    const std::vector<Layer> layers = design();
    const std::string svgPath = appsFolder(root, "scalable") + "/" + name + ".svg";
    if (!writeText(svgPath, svg(layers))) {
        std::fprintf(stderr, "icongen: cannot write %s\n", svgPath.c_str());
        return 1;
    }
    for (int size : sizes) {
        const std::string kind = std::to_string(size) + "x" + std::to_string(size);
        const std::string path = appsFolder(root, kind) + "/" + name + ".png";
        if (!writePng(path, render(layers, size), size)) {
            std::fprintf(stderr, "icongen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
