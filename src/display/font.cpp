#include "display/font.h"

#include <unordered_map>

#include "app/log.h"
#include "app/file_primitives.h"
#include "platform/platform.h"

namespace kt {
namespace {

uint64_t bigEndian(std::span<const uint8_t> bytes, size_t offset, size_t count) {
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i) value = (value << 8) | bytes[offset + i];
    return value;
}

// Reads fixed-width codes, most significant bit first, across byte boundaries.
class CodeReader {
public:
    CodeReader(const std::vector<uint8_t>& bytes, int width) : bytes_(bytes), width_(width) {}
    bool next(uint32_t& code) {
        if (bitPos_ + static_cast<uint64_t>(width_) > (bytes_.size() - 1) * 8ull) return false;
        uint32_t value = 0;
        for (int i = 0; i < width_; ++i, ++bitPos_) {
            uint8_t byte = bytes_[1 + bitPos_ / 8];
            value = (value << 1) | ((byte >> (7 - bitPos_ % 8)) & 1u);
        }
        code = value;
        return true;
    }

private:
    const std::vector<uint8_t>& bytes_;
    int width_;
    uint64_t bitPos_ = 0;
};

}  // namespace

std::vector<uint8_t> lzwUnpack(const std::vector<uint8_t>& packed) {
    std::vector<uint8_t> out;
    if (packed.empty()) return out;
    int width = packed[0];
    // Widths of 0 or beyond 32 bits can't form codes.
    if (width < 1 || width > 32) return out;
    CodeReader reader(packed, width);

    // Every dictionary entry above 255 is a stretch of the output already written: the
    // previous entry plus the first byte of the one after it, which follows it directly.
    struct Entry {
        size_t offset;
        size_t length;
    };
    std::vector<Entry> entries;
    uint32_t code = 0;
    if (!reader.next(code)) return out;
    if (code > 255) return {};
    out.push_back(static_cast<uint8_t>(code));
    Entry w{0, 1};
    while (reader.next(code)) {
        uint64_t nextFree = 256 + entries.size();
        Entry entry{};
        size_t start = out.size();
        if (code < 256) {
            out.push_back(static_cast<uint8_t>(code));
            entry = {start, 1};
        } else if (code < nextFree) {
            entry = entries[code - 256];
            if (out.size() + entry.length > maxUnpackedFontBytes) return {};
            for (size_t i = 0; i < entry.length; ++i) out.push_back(out[entry.offset + i]);
            entry.offset = start;
        } else if (code == nextFree) {
            if (out.size() + w.length + 1 > maxUnpackedFontBytes) return {};
            for (size_t i = 0; i < w.length; ++i) out.push_back(out[w.offset + i]);
            out.push_back(out[w.offset]);
            entry = {start, w.length + 1};
        } else {
            return {};
        }
        // w followed by the first byte of entry lies at w.offset, w.length + 1 long, since
        // entry was appended right after w.
        entries.push_back({w.offset, w.length + 1});
        w = entry;
    }
    return out;
}

std::vector<uint8_t> lzwPack(const std::vector<uint8_t>& bytes, int codeWidth) {
    std::vector<uint8_t> out{static_cast<uint8_t>(codeWidth)};
    if (bytes.empty()) return out;
    const uint64_t limit = codeWidth >= 32 ? (1ull << 32) : (1ull << codeWidth);
    uint64_t bitBuffer = 0;
    int bitCount = 0;
    auto emit = [&](uint32_t code) {
        for (int i = codeWidth - 1; i >= 0; --i) {
            bitBuffer = (bitBuffer << 1) | ((code >> i) & 1u);
            if (++bitCount == 8) {
                out.push_back(static_cast<uint8_t>(bitBuffer));
                bitBuffer = 0;
                bitCount = 0;
            }
        }
    };
    // Dictionary keyed by (prefix code, next byte). The decoder adds an entry for every
    // code after the first, so the encoder must do the same even when the code can no
    // longer be written at this width.
    std::unordered_map<uint64_t, uint32_t> dictionary;
    uint64_t nextFree = 256;
    uint32_t current = bytes[0];
    for (size_t i = 1; i < bytes.size(); ++i) {
        uint64_t key = (static_cast<uint64_t>(current) << 8) | bytes[i];
        auto found = dictionary.find(key);
        if (found != dictionary.end()) {
            current = found->second;
            continue;
        }
        emit(current);
        if (nextFree < limit) dictionary.emplace(key, static_cast<uint32_t>(nextFree));
        ++nextFree;
        current = bytes[i];
    }
    emit(current);
    if (bitCount > 0) out.push_back(static_cast<uint8_t>(bitBuffer << (8 - bitCount)));
    return out;
}

t_Font parseFont(std::span<const uint8_t> file, const std::string& name) {
    t_Font font;
    if (file.empty()) {
        logLine("t_LoadFontResource: Could not load file „" + name + "“");
        return font;
    }
    font.HeaderSize = file[0];
    if (file.size() < static_cast<size_t>(font.HeaderSize)) {
        logLine("t_LoadFontResource: Invalid header size");
        return font;
    }
    if (file.size() < 5 || file[1] != 'k' || file[2] != 'e' || file[3] != 'f' || file[4] != 'n') {
        logLine("t_LoadFontResource: Invalid file type");
        return font;
    }
    // Fields lie at fixed offsets; a header too short to hold one leaves it 0.
    auto byteAt = [&](size_t offset) -> uint8_t { return offset < file.size() ? file[offset] : 0; };
    font.Format = byteAt(5);
    font.Size = file.size() >= 10 ? static_cast<int64_t>(bigEndian(file, 6, 4)) : 0;
    font.Start = byteAt(10);
    font.End = byteAt(11);
    font.Width = byteAt(12);
    font.Height = byteAt(13);
    font.Reserved = font.HeaderSize >= 16 ? static_cast<int64_t>(bigEndian(file, 14, 2)) : 0;
    font.Data.assign(file.begin() + font.HeaderSize, file.end());
    if (font.Format == 102 || font.Format == 100) {
        if (!font.Data.empty()) font.Data = lzwUnpack(font.Data);
        font.Format = font.Format == 102 ? 2 : 0;
    }
    return font;
}

}  // namespace kt

t_Font t_LoadFontResource(const std::string& name) {
    std::string path = host::host().resourceFolder() + "/" + name;
    return kt::parseFont(getbinaryfromfile(path), name);
}
