// Any bytes as a font file: kt::parseFont must give the header fields at their offsets and
// the glyph data as stored or unpacked (checked against a plain dictionary decoder written
// here), or empty data; a font that loads is then drawn with, without a write outside the
// window's blocks. The input also goes through the packer and back.
#include <optional>
#include <vector>

#include "display/font.h"
#include "fuzz/fuzz_support.h"
#include "terminal/print.h"

namespace {

// The glyph data of formats 100 and 102, unpacked the plain way: a dictionary of strings.
// Code widths of 1 to 32 bits only, and a first code that is a byte, as the toolkit takes it.
// Nothing for long streams, which would cost the fuzzer more than they find.
std::optional<std::vector<uint8_t>> referenceUnpack(const std::vector<uint8_t>& packed) {
    if (packed.empty()) return std::vector<uint8_t>{};
    const int width = packed[0];
    if (width < 1 || width > 32) return std::vector<uint8_t>{};
    std::vector<uint32_t> codes;
    const uint64_t bits = (packed.size() - 1) * 8ull;
    for (uint64_t at = 0; at + static_cast<uint64_t>(width) <= bits; at += static_cast<uint64_t>(width)) {
        uint64_t code = 0;
        for (int i = 0; i < width; ++i) {
            const uint64_t bit = at + static_cast<uint64_t>(i);
            code = code << 1 | ((packed[1 + bit / 8] >> (7 - bit % 8)) & 1u);
        }
        codes.push_back(static_cast<uint32_t>(code));
    }
    if (codes.size() > 3000) return std::nullopt;
    if (codes.empty() || codes[0] > 255) return std::vector<uint8_t>{};
    std::vector<std::vector<uint8_t>> dictionary;
    for (int b = 0; b < 256; ++b) dictionary.push_back({static_cast<uint8_t>(b)});
    std::vector<uint8_t> w{static_cast<uint8_t>(codes[0])}, out = w;
    for (size_t k = 1; k < codes.size(); ++k) {
        std::vector<uint8_t> entry;
        if (codes[k] < dictionary.size())
            entry = dictionary[codes[k]];
        else if (codes[k] == dictionary.size())
            entry = w, entry.push_back(w[0]);
        else
            return std::vector<uint8_t>{};
        if (out.size() + entry.size() > kt::maxUnpackedFontBytes) return std::vector<uint8_t>{};
        out.insert(out.end(), entry.begin(), entry.end());
        std::vector<uint8_t> added = w;
        added.push_back(entry[0]);
        dictionary.push_back(std::move(added));
        w = std::move(entry);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpDepthWindows();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LLVMFuzzerInitialize(nullptr, nullptr);
    const std::vector<uint8_t> file(data, data + size);
    const t_Font font = kt::parseFont(file, "fuzz.font");

    // The header: fields at their fixed offsets once the identifier is there.
    const bool accepted = size >= 5 && size >= data[0] && data[1] == 'k' && data[2] == 'e' && data[3] == 'f' &&
                          data[4] == 'n';
    if (!accepted) {
        FUZZ_CHECK(font.Data.empty());
    } else {
        FUZZ_CHECK(font.HeaderSize == data[0]);
        FUZZ_CHECK(font.Start == (size > 10 ? data[10] : 0) && font.End == (size > 11 ? data[11] : 0));
        FUZZ_CHECK(font.Width == (size > 12 ? data[12] : 0) && font.Height == (size > 13 ? data[13] : 0));
        FUZZ_CHECK(font.Size == (size >= 10 ? (int64_t{data[6]} << 24 | data[7] << 16 | data[8] << 8 | data[9]) : 0));
        const std::vector<uint8_t> stored(file.begin() + data[0], file.end());
        const int format = size > 5 ? data[5] : 0;
        if (format == 100 || format == 102) {
            FUZZ_CHECK(font.Format == format - 100);
            if (auto expected = referenceUnpack(stored)) FUZZ_CHECK(font.Data == *expected);
        } else {
            FUZZ_CHECK(font.Format == format);
            FUZZ_CHECK(font.Data == stored);
        }
    }

    // The packer and the unpacker agree on any bytes at any width that can hold a byte.
    if (size >= 1 && size < 2000) {
        const int width = 8 + data[0] % 25;
        const std::vector<uint8_t> bytes(data + 1, data + size);
        FUZZ_CHECK(kt::lzwUnpack(kt::lzwPack(bytes, width)) == bytes);
    }

    // A font that loads is drawn with: put into one of the small windows (one per bit depth)
    // in place of the window's own font, the codes at the edges of its range (and a few more)
    // are drawn through the terminal. Its glyphs must fit the window's cells, as they always
    // do in a window set up with the font (scrolling moves whole cell rows).
    const t_Font& cell = fuzz::tinyFont();
    if (!font.Data.empty() && font.Width <= cell.Width && font.Height <= cell.Height) {
        const auto n = static_cast<uint8_t>(size % fuzz::depthWindowCount);
        t_Window& w = fuzz::depthWindow(n);
        w.Font = font;
        {
            fuzz::OutsideGuard guard(n);
            for (int code : {0, 1, 31, 32, 65, 127, 128, 254, 255, int{font.Start}, int{font.End}, font.End + 1,
                             font.Start - 1, static_cast<int>(size % 256)})
                t_PrintChar(n, static_cast<uint8_t>(code));
            t_Print(n, std::string("\x1b" "A\x1b" "i\r\x17\x16\x0b"));
        }
        w.Font = cell;
    }
    return 0;
}
