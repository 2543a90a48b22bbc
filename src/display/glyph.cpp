#include "display/glyph.h"

#include <cstring>
#include <string>

#include "app/log.h"
#include "app/utf8.h"
#include "display/image.h"

namespace {

constexpr std::array<t_PaletteEntry, 16> palette{{
    {0x00, 0x00, 0x00}, {0xFF, 0x00, 0x00}, {0x00, 0x00, 0x80}, {0xFF, 0x00, 0xFF},
    {0x00, 0x80, 0x00}, {0x54, 0x54, 0x54}, {0x00, 0x00, 0xFF}, {0x00, 0x80, 0xFF},
    {0x80, 0x40, 0x00}, {0xFF, 0x80, 0x00}, {0xA8, 0xA8, 0xA8}, {0xFF, 0x80, 0x80},
    {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
}};

// scaled[s][c] = s·c/255, remainder dropped: each blending term looked up, not divided.
struct ScaleTable {
    uint8_t value[256][256];
    ScaleTable() {
        for (int s = 0; s < 256; ++s)
            for (int c = 0; c < 256; ++c) value[s][c] = static_cast<uint8_t>(s * c / 255);
    }
};
const ScaleTable scale;

inline uint8_t blend(uint8_t s, uint8_t fore, uint8_t back) {
    return static_cast<uint8_t>(scale.value[s][fore] + scale.value[255 - s][back]);
}

uint8_t nearestPaletteNumber(uint8_t r, uint8_t g, uint8_t b) {
    if (r == g && g == b) {
        int sum = r + g + b;
        if (sum < 192) return 0;
        if (sum <= 383) return 5;
        if (sum <= 575) return 10;
        return 15;
    }
    int best = 65535;
    uint8_t number = 0;
    for (int k = 0; k < 16; ++k) {
        int dr = r - palette[k].Red, dg = g - palette[k].Green, db = b - palette[k].Blue;
        int distance = dr * dr + dg * dg + db * db;
        if (distance < best) {
            best = distance;
            number = static_cast<uint8_t>(k);
        }
    }
    return number;
}

// Whether n glyph samples are all background.
inline bool isBlank(const uint8_t* samples, int64_t n) {
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t eight;
        std::memcpy(&eight, samples + i, 8);
        if (eight) return false;
    }
    for (; i < n; ++i)
        if (samples[i]) return false;
    return true;
}

void notInitialized(uint8_t window) {
    kt::logLine("t_PrintSymbol: Window #" + std::to_string(window) + " not initialized.");
}

// Redirected output: the character whose scalar is the code, without a line end.
void printToStandardOutput(uint8_t code) { kt::logText(kt::utf8Of(code)); }

// Draws the glyph samples of one cell; w is known to be drawable at this bit depth.
void drawGlyph(t_Window& w, const uint8_t* samples, uint8_t fore, uint8_t back, int64_t x, int64_t y) {
    const t_PaletteEntry& f = palette[fore];
    const t_PaletteEntry& b = palette[back];
    const int64_t fw = w.Font.Width, fh = w.Font.Height;
    const int64_t px = fw * (x - 1), py = fh * (y - 1);
    uint8_t* memory = kt::display().memory.data();

    switch (w.BitDepth) {
    case 24:
    case 32: {
        const int64_t bytes = w.BitDepth / 8, skip = bytes - 3;
        // A row of background pixels, to copy whole where a glyph row has no ink (most rows
        // above and below the letters). 24 bits only: at 32 the first byte of each pixel stays.
        uint8_t blankRow[256 * 3];
        const bool copyBlank = bytes == 3;
        if (copyBlank)
            for (int64_t j = 0; j < fw; ++j) blankRow[3 * j] = b.Red, blankRow[3 * j + 1] = b.Green, blankRow[3 * j + 2] = b.Blue;
        for (int64_t r = 0; r < fh; ++r) {
            uint8_t* p = memory + w.MemoryStart + bytes * ((py + r) * w.Width + px) + skip;
            if (copyBlank && isBlank(samples, fw)) {
                std::memcpy(p, blankRow, static_cast<size_t>(3 * fw));
                samples += fw;
                continue;
            }
            for (int64_t j = 0; j < fw; ++j, p += bytes) {
                uint8_t s = *samples++;
                if (s == 0) {
                    p[0] = b.Red, p[1] = b.Green, p[2] = b.Blue;
                } else if (s == 255) {
                    p[0] = f.Red, p[1] = f.Green, p[2] = f.Blue;
                } else {
                    p[0] = blend(s, f.Red, b.Red);
                    p[1] = blend(s, f.Green, b.Green);
                    p[2] = blend(s, f.Blue, b.Blue);
                }
            }
        }
        break;
    }
    case 8:
    case 16: {
        const uint8_t yf = static_cast<uint8_t>((f.Red + f.Green + f.Blue) / 3);
        const uint8_t yb = static_cast<uint8_t>((b.Red + b.Green + b.Blue) / 3);
        const int64_t bytes = w.BitDepth / 8;
        for (int64_t r = 0; r < fh; ++r) {
            uint8_t* p = memory + w.MemoryStart + bytes * ((py + r) * w.Width + px) + (bytes - 1);
            for (int64_t j = 0; j < fw; ++j, p += bytes) *p = blend(*samples++, yf, yb);
        }
        break;
    }
    case 4:
    case 1: {
        for (int64_t r = 0; r < fh; ++r) {
            for (int64_t j = 0; j < fw; ++j) {
                uint8_t s = *samples++;
                uint8_t red = blend(s, f.Red, b.Red), green = blend(s, f.Green, b.Green),
                        blue = blend(s, f.Blue, b.Blue);
                int64_t X = px + j, Y = py + r;
                if (w.BitDepth == 1) {
                    uint8_t& byte = memory[w.MemoryStart + Y * (w.Width / 8) + X / 8];
                    uint8_t bit = static_cast<uint8_t>(0x80 >> (X % 8));
                    if ((red + green + blue) / 3 >= 128)
                        byte |= bit;
                    else
                        byte &= static_cast<uint8_t>(~bit);
                } else {
                    uint8_t& byte = memory[w.MemoryStart + Y * (w.Width / 2) + X / 2];
                    uint8_t number = nearestPaletteNumber(red, green, blue);
                    if (X % 2 == 0)
                        byte = static_cast<uint8_t>((byte & 0x0F) | (number << 4));
                    else
                        byte = static_cast<uint8_t>((byte & 0xF0) | number);
                }
            }
        }
        break;
    }
    default:
        break;
    }
}

}  // namespace

const std::array<t_PaletteEntry, 16>& t_Palette() { return palette; }

t_RGBColor t_PaletteColor(uint8_t number) {
    const t_PaletteEntry& e = palette[number & 15];
    return {255, e.Red, e.Green, e.Blue};
}

void t_PrintSymbol(uint8_t window, uint8_t code, uint8_t colour, int64_t x, int64_t y) {
    if (window >= kt::graphicWindowCount) {
        kt::logLine("t_PrintSymbol: Window is not a graphic window.");
        return;
    }
    if (!kt::memoryReady()) {
        // Before the memory exists there is no record, so its routing is the first one.
        notInitialized(window);
        return;
    }
    t_Window& w = kt::windowRecord(window);
    if (!w.Initialized || w.TextMemoryStart < 0) {
        if (w.TextRedirectOutput == 2)
            printToStandardOutput(code);
        else if (w.TextRedirectOutput == 1)
            notInitialized(window);
        return;
    }
    if (w.TextRedirectOutput == 2) {
        printToStandardOutput(code);
        return;
    }
    if (w.TextRedirectOutput != 1) return;
    if (w.Font.Data.empty()) {
        notInitialized(window);
        return;
    }
    uint8_t fore = colour >> 4, back = colour & 15;
    if (w.TextInverse) std::swap(fore, back);

    const int64_t fw = w.Font.Width, fh = w.Font.Height;
    if (x < 1 || y < 1 || w.Width < fw * x || w.Height < fh * y) {
        kt::logLine("t_PrintSymbol: Window #" + std::to_string(window) + " illegal coordinates (x = " +
                    std::to_string(x) + ", y = " + std::to_string(y) + ").");
        return;
    }

    if (code >= w.Font.Start && code <= w.Font.End) {
        if (w.Font.Format != 2) {
            if (w.Font.Format == 0 || w.Font.Format == 100 || w.Font.Format == 102)
                kt::logLine("t_PrintSymbol: Font format must be uncompressed grey for text-printing.");
            else
                kt::logLine("t_PrintSymbol: Illegal font format.");
        } else {
            const size_t glyphBytes = static_cast<size_t>(fw * fh);
            const size_t offset = glyphBytes * code;
            // A font whose data ends early draws nothing for the glyphs it lacks.
            if (glyphBytes > 0 && offset + glyphBytes <= w.Font.Data.size())
                drawGlyph(w, w.Font.Data.data() + offset, fore, back, x, y);
            kt::touchWindow(window);
        }
    }

    // The text cell records the code and the colours actually used. A cell outside the
    // text block (a grid bigger than its block) is not written.
    const int64_t index = w.TextMemoryStart + (x - 1) + w.TextWidth * (y - 1);
    const int64_t half = kt::textHalf(w);
    if (x <= w.TextWidth && y <= w.TextHeight && index + half <= w.TextMemoryEnd) {
        uint8_t* memory = kt::display().memory.data();
        memory[index] = code;
        memory[index + half] = static_cast<uint8_t>(fore * 16 + back);
    }
}

void t_PrintSymbol(uint8_t window, uint8_t code, int64_t x, int64_t y) {
    if (window >= kt::graphicWindowCount) {
        kt::logLine("t_PrintSymbol: Window is not a graphic window.");
        return;
    }
    if (!kt::memoryReady() || !kt::windowRecord(window).Initialized ||
        kt::windowRecord(window).TextMemoryStart < 0) {
        notInitialized(window);
        return;
    }
    t_PrintSymbol(window, code, kt::windowRecord(window).TextColor, x, y);
}

void t_PrintSymbol(uint8_t window, uint8_t code) {
    if (window >= kt::graphicWindowCount) {
        kt::logLine("t_PrintSymbol: Window is not a graphic window.");
        return;
    }
    if (!kt::memoryReady() || !kt::windowRecord(window).Initialized ||
        kt::windowRecord(window).TextMemoryStart < 0) {
        notInitialized(window);
        return;
    }
    const t_Window& w = kt::windowRecord(window);
    t_PrintSymbol(window, code, w.TextColor, w.TextHpos, w.TextVpos);
}
