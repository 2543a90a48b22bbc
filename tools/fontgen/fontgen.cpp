// fontgen: builds the toolkit's 16 × 32 grey font resource from DejaVu Sans Mono plus the
// pieces drawn by code, and optionally a preview picture of every glyph.
//
//   fontgen OUTPUT.font [--preview PREVIEW.png] [--scale N] [--mono TTF] [--fallback TTF]
//                       [--size PIXELS] [--verbose]

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <initializer_list>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "canvas.h"
#include "display/font.h"
#include "files/fileio.h"
#include "hosts/headless/png_writer.h"
#include "platform/platform.h"
#include "pieces.h"
#include "text_raster.h"

namespace fontgen {
namespace {

// 26.5 px em gives DejaVu Sans Mono its 16 px advance (0.602 em); its ascender and
// descender (0.928 + 0.236 em) then need 24.6 + 6.3 rows: the baseline below row 24
// leaves 25 rows above and 7 below, enough for Å on top and _ at the bottom.
constexpr double defaultPixelSize = 26.5;
constexpr int baselineRow = 25;

struct Options {
    std::string output;
    std::string preview;
    std::string mono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
    std::string fallback = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    double pixelSize = defaultPixelSize;
    int scale = 1;
    bool verbose = false;
};

[[noreturn]] void usage(const std::string& problem) {
    std::fprintf(stderr,
                 "fontgen: %s\nusage: fontgen OUTPUT.font [--preview PREVIEW.png] [--scale N] [--mono TTF] "
                 "[--fallback TTF] [--size PIXELS] [--verbose]\n",
                 problem.c_str());
    std::exit(2);
}

Options parseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--preview")
            options.preview = value();
        else if (arg == "--mono")
            options.mono = value();
        else if (arg == "--fallback")
            options.fallback = value();
        else if (arg == "--size")
            options.pixelSize = std::atof(value().c_str());
        else if (arg == "--scale")
            options.scale = std::atoi(value().c_str());
        else if (arg == "--verbose")
            options.verbose = true;
        else if (!arg.empty() && arg[0] == '-')
            usage("unknown option " + arg);
        else if (options.output.empty())
            options.output = arg;
        else
            usage("more than one output file");
    }
    if (options.output.empty()) usage("no output file");
    if (options.pixelSize < 8 || options.pixelSize > 64) usage("--size must lie between 8 and 64");
    if (options.scale < 1 || options.scale > 8) usage("--scale must lie between 1 and 8");
    return options;
}

// The character each text code shows; codes drawn by code have none.
std::optional<char32_t> textCharacter(int code) {
    static const std::map<int, char32_t> latin1Replacements = {
        {161, U'∈'}, {164, U'€'}, {168, U'™'}, {170, U'⁴'}, {173, U'≠'}, {176, U'˚'}, {180, U'’'},
        {184, U'•'}, {186, U'⁶'}, {188, U'⁹'}, {189, U'†'}, {191, U'…'}, {197, U'≤'}, {198, U'≥'},
        {208, U'∏'}, {215, U'⁵'}, {216, U'⁰'}, {221, U'∑'}, {222, U'∫'}, {229, U'⁷'}, {230, U'⁸'},
        {240, U'π'}, {253, U'√'}, {254, U'∆'}, {255, U'∞'}};
    if (code >= 32 && code <= 126) return char32_t(code);
    if (code == 154) return U'—';
    if (code >= 161 && code <= 255) {
        auto found = latin1Replacements.find(code);
        return found != latin1Replacements.end() ? found->second : char32_t(code);
    }
    return std::nullopt;
}

GlyphSet buildGlyphs(const Options& options) {
    GlyphSet glyphs{};
    TextRasterizer text(options.mono, options.fallback, options.pixelSize, baselineRow);
    for (int code = 0; code < glyphCount; ++code) {
        std::optional<char32_t> character = textCharacter(code);
        if (!character) continue;
        std::string note;
        std::optional<Cell> cell = text.glyph(*character, &note);
        if (!cell) {
            char buffer[96];
            std::snprintf(buffer, sizeof buffer, "neither font has U+%04X for code %d", unsigned(*character), code);
            throw std::runtime_error(buffer);
        }
        glyphs[size_t(code)] = *cell;
        if (options.verbose && !note.empty())
            std::printf("fontgen: code %d (U+%04X) %s\n", code, unsigned(*character), note.c_str());
    }
    drawPieces(glyphs, baselineRow);
    drawControlPictures(glyphs, text);
    return glyphs;
}

// --- Checks that fail the build rather than ship a broken font ---------------------------

bool hasInk(const Cell& cell) {
    for (uint8_t v : cell)
        if (v) return true;
    return false;
}

int lowestInkRow(const Cell& cell) {
    for (int y = cellHeight - 1; y >= 0; --y)
        for (int x = 0; x < cellWidth; ++x)
            if (cell[size_t(y * cellWidth + x)]) return y;
    return -1;
}

uint8_t pixel(const Cell& cell, int x, int y) { return cell[size_t(y * cellWidth + x)]; }

void checkGlyphs(const GlyphSet& glyphs) {
    std::vector<std::string> faults;
    for (int code = 0; code < glyphCount; ++code)
        if (code != 32 && !hasInk(glyphs[size_t(code)])) faults.push_back("code " + std::to_string(code) + " is blank");
    if (hasInk(glyphs[32])) faults.push_back("the space has ink");
    for (int code : {'A', 'H', 'x'})
        if (lowestInkRow(glyphs[size_t(code)]) != baselineRow - 1)
            faults.push_back(std::string("'") + char(code) + "' does not stand on the baseline");

    // Pieces set side by side must continue each other's strokes across the cell border.
    const std::pair<int, int> sideBySide[] = {{155, 155}, {156, 156}, {159, 159}, {159, 18},  {19, 159},  {140, 140},
                                              {141, 141}, {127, 127}, {131, 131}, {130, 131}, {129, 131}, {131, 132},
                                              {134, 155}, {155, 135}, {144, 155}, {155, 146}, {158, 155}, {159, 149},
                                              {150, 159}, {151, 159}, {159, 148}, {147, 159}};
    for (auto [left, right] : sideBySide)
        for (int y = 0; y < cellHeight; ++y) {
            // The checkerboard alternates, so its border columns are opposites.
            bool joined = left == 127
                              ? pixel(glyphs[size_t(left)], cellWidth - 1, y) != pixel(glyphs[size_t(right)], 0, y)
                              : pixel(glyphs[size_t(left)], cellWidth - 1, y) == pixel(glyphs[size_t(right)], 0, y);
            if (!joined) {
                faults.push_back(std::to_string(left) + " and " + std::to_string(right) + " do not join side by side");
                break;
            }
        }
    const std::pair<int, int> stacked[] = {{157, 157}, {138, 138}, {139, 139}, {134, 157}, {157, 136}, {157, 142},
                                           {146, 157}, {149, 157}, {157, 150}, {151, 151}, {127, 127}};
    for (auto [upper, lower] : stacked)
        for (int x = 0; x < cellWidth; ++x) {
            bool joined = upper == 127
                              ? pixel(glyphs[size_t(upper)], x, cellHeight - 1) != pixel(glyphs[size_t(lower)], x, 0)
                              : pixel(glyphs[size_t(upper)], x, cellHeight - 1) == pixel(glyphs[size_t(lower)], x, 0);
            if (!joined) {
                faults.push_back(std::to_string(upper) + " and " + std::to_string(lower) + " do not join stacked");
                break;
            }
        }
    // The title bar ends run straight on into the inverse (fully inked) title cells.
    for (int y = 0; y < cellHeight; ++y)
        if (pixel(glyphs[18], cellWidth - 1, y) != 255 || pixel(glyphs[19], 0, y) != 255) {
            faults.push_back("the title bar ends do not meet the inverse title");
            break;
        }
    if (faults.empty()) return;
    std::string message = "the glyphs are faulty:";
    for (const std::string& fault : faults) message += "\n  " + fault;
    throw std::runtime_error(message);
}

// --- The font file ------------------------------------------------------------------------

std::vector<uint8_t> glyphData(const GlyphSet& glyphs) {
    std::vector<uint8_t> data;
    data.reserve(size_t(glyphCount) * cellBytes);
    for (const Cell& cell : glyphs) data.insert(data.end(), cell.begin(), cell.end());
    return data;
}

// Packs with the code width that gives the smallest file and proves it unpacks again.
std::vector<uint8_t> pack(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> best;
    for (int width = 9; width <= 20; ++width) {
        std::vector<uint8_t> packed = kt::lzwPack(data, width);
        if (best.empty() || packed.size() < best.size()) best = std::move(packed);
    }
    if (kt::lzwUnpack(best) != data)
        throw std::runtime_error("the packed glyph data does not unpack to the glyphs (code width " +
                                 std::to_string(best[0]) + ")");
    return best;
}

std::vector<uint8_t> fontFile(const std::vector<uint8_t>& data, const std::vector<uint8_t>& packed) {
    const uint32_t size = uint32_t(data.size());
    std::vector<uint8_t> file = {16,
                                 'k',
                                 'e',
                                 'f',
                                 'n',
                                 102,  // grey glyphs, packed
                                 uint8_t(size >> 24),
                                 uint8_t(size >> 16),
                                 uint8_t(size >> 8),
                                 uint8_t(size),
                                 0,    // first code
                                 255,  // last code
                                 cellWidth,
                                 cellHeight,
                                 0,
                                 0};
    // Grown by reserve and copy, not insert: GCC 12 sees a false out-of-bounds copy in the latter.
    file.reserve(file.size() + packed.size());
    std::copy(packed.begin(), packed.end(), std::back_inserter(file));
    return file;
}

// --- The preview ---------------------------------------------------------------------------

class Picture {
public:
    Picture(int width, int height, int scale) : scale_(scale) {
        image_.width = width * scale;
        image_.height = height * scale;
        image_.pixels.assign(size_t(image_.width) * size_t(image_.height), 0xFF000000u);
    }
    void put(int x, int y, uint8_t grey) {
        uint32_t colour = 0xFF000000u | uint32_t(grey) << 16 | uint32_t(grey) << 8 | grey;
        for (int dy = 0; dy < scale_; ++dy)
            for (int dx = 0; dx < scale_; ++dx)
                image_.pixels[size_t(y * scale_ + dy) * size_t(image_.width) + size_t(x * scale_ + dx)] = colour;
    }
    void glyph(int x, int y, const Cell& cell, bool inverse) {
        for (int gy = 0; gy < cellHeight; ++gy)
            for (int gx = 0; gx < cellWidth; ++gx) {
                uint8_t v = pixel(cell, gx, gy);
                put(x + gx, y + gy, inverse ? uint8_t(255 - v) : v);
            }
    }
    const host::Image& image() const { return image_; }

private:
    int scale_;
    host::Image image_;
};

// One line of sample text: codes, with inverse cells marked.
struct SampleCell {
    int code;
    bool inverse;
};
using SampleLine = std::vector<SampleCell>;

void append(SampleLine& line, std::initializer_list<int> codes, bool inverse = false) {
    for (int code : codes) line.push_back({code, inverse});
}
void append(SampleLine& line, const std::string& latin1, bool inverse = false) {
    for (char c : latin1) line.push_back({uint8_t(c), inverse});
}

std::vector<SampleLine> sampleLines() {
    std::vector<SampleLine> lines;
    const int width = 17;
    auto titleBar = [&](int left, int right, const std::string& title) {
        SampleLine line;
        int fill = width - 2 - int(title.size()) - (left >= 0 ? 1 : 0) - (right >= 0 ? 1 : 0);
        if (left >= 0) append(line, {left});
        for (int i = 0; i < fill / 2; ++i) append(line, {159});
        append(line, {18});
        append(line, title, true);
        append(line, {19});
        for (int i = 0; i < fill - fill / 2; ++i) append(line, {159});
        if (right >= 0) append(line, {right});
        return line;
    };
    lines.push_back(titleBar(-1, -1, " Titel "));
    lines.push_back({});
    // A dialog frame: its sides on every row from the title down, its bottom line between.
    lines.push_back(titleBar(139, 138, " Info "));
    for (const std::string& text : {std::string(" 0x41 = 'A'"), std::string(" gyp_Hx \xC4\xD6\xDC\xDF\xA4")}) {
        SampleLine line;
        append(line, {139});
        append(line, text);
        while (int(line.size()) < width - 1) append(line, {' '});
        append(line, {138});
        lines.push_back(line);
    }
    SampleLine bottom;
    append(bottom, {139});
    while (int(bottom.size()) < width - 1) append(bottom, {140});
    append(bottom, {138});
    lines.push_back(bottom);
    lines.push_back({});
    SampleLine icons;
    append(icons, {130, 131, 131, 132});
    append(icons, " Ordner ");
    append(icons, {128});
    lines.push_back(icons);
    SampleLine volume;
    append(volume, {129, 131, 131, 132});
    append(volume, " Volume ");
    append(volume, {133});
    lines.push_back(volume);
    SampleLine rule;
    for (int i = 0; i < width; ++i) append(rule, {156});
    lines.push_back(rule);
    SampleLine box1, box2, box3, box4, box5;
    append(box1, {134, 155, 144, 155, 135, ' ', 159, 149, 159, 159, ' ', 127, 127, 127});
    append(box2, {157, 'a', 157, 'b', 157, ' ', 159, 151, 159, 159, ' ', 127, 127, 127});
    append(box3, {142, 155, 158, 155, 143, ' ', 159, 150, 159, 159, ' ', 147, 159, 148});
    append(box4, {157, 'c', 157, 'd', 157, ' ', 152, 153, 146, 154, 155, 160, 157});
    append(box5, {136, 155, 145, 155, 137, ' ', 141, 141, 141, ' ', 157, 155, 158});
    for (const SampleLine& line : {box1, box2, box3, box4, box5}) lines.push_back(line);
    SampleLine controls;
    for (int code : {0, 7, 8, 9, 10, 13, 27, 31}) append(controls, {code});
    append(controls, " x\xB2+y\xFD\xF0");
    lines.push_back(controls);
    return lines;
}

bool writePreview(const GlyphSet& glyphs, const std::string& path, int scale) {
    // The 16 × 16 table with grid lines, then sample lines set without gaps between cells.
    const int grid = 16 * cellWidth + 17;
    std::vector<SampleLine> lines = sampleLines();
    size_t longest = 0;
    for (const SampleLine& line : lines) longest = std::max(longest, line.size());
    const int width = std::max(grid, int(longest) * cellWidth + 2);
    const int gridHeight = 16 * cellHeight + 17;
    const int height = gridHeight + 8 + int(lines.size()) * cellHeight;
    Picture picture(width, height, scale);
    for (int y = 0; y < gridHeight; ++y)
        for (int x = 0; x < grid; ++x) picture.put(x, y, 96);
    for (int code = 0; code < glyphCount; ++code)
        picture.glyph(1 + (code % 16) * (cellWidth + 1), 1 + (code / 16) * (cellHeight + 1), glyphs[size_t(code)],
                      false);
    for (size_t row = 0; row < lines.size(); ++row)
        for (size_t column = 0; column < lines[row].size(); ++column) {
            const SampleCell& cell = lines[row][column];
            picture.glyph(1 + int(column) * cellWidth, gridHeight + 8 + int(row) * cellHeight,
                          glyphs[size_t(cell.code)], cell.inverse);
        }
    return host::writePng(path, picture.image());
}

int run(int argc, char** argv) {
    Options options = parseArguments(argc, argv);
    GlyphSet glyphs = buildGlyphs(options);
    checkGlyphs(glyphs);
    const std::vector<uint8_t> data = glyphData(glyphs);
    const std::vector<uint8_t> packed = pack(data);
    const std::vector<uint8_t> file = fontFile(data, packed);

    // Read it back the way the toolkit will before anyone else does.
    t_Font font = kt::parseFont(file, options.output);
    if (font.Format != 2 || font.Start != 0 || font.End != 255 || font.Width != cellWidth ||
        font.Height != cellHeight || font.Size != int64_t(data.size()) || font.Data != data)
        throw std::runtime_error("the toolkit does not read the font back as written");

    // The preview first: a run that fails leaves no new font behind.
    if (!options.preview.empty()) {
        if (!writePreview(glyphs, options.preview, options.scale))
            throw std::runtime_error("cannot write the preview " + options.preview);
        std::printf("fontgen: wrote the preview %s\n", options.preview.c_str());
    }
    if (setbinarytofile(options.output, file) != 0) throw std::runtime_error("cannot write " + options.output);
    std::printf("fontgen: wrote %s: %zu bytes (glyph data %zu bytes packed with %d-bit codes)\n",
                options.output.c_str(), file.size(), data.size(), int(packed[0]));
    return 0;
}

}  // namespace
}  // namespace fontgen

int main(int argc, char** argv) {
    try {
        return fontgen::run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "fontgen: error: %s\n", error.what());
        return 1;
    }
}
