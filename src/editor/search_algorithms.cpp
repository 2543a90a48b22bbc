#include <emmintrin.h>
#include <string.h>

#include "editor/search.h"

namespace editor::search {

int64_t findExact(std::span<const uint8_t> data, std::span<const uint8_t> pattern, int64_t from) {
    if (pattern.empty() || from < 0 || static_cast<size_t>(from) + pattern.size() > data.size()) return -1;
    const void* hit = memmem(data.data() + from, data.size() - static_cast<size_t>(from), pattern.data(),
                             pattern.size());
    return hit ? static_cast<const uint8_t*>(hit) - data.data() : -1;
}

const std::array<uint8_t, 256>& foldTable() {
    static const std::array<uint8_t, 256> table = [] {
        std::array<uint8_t, 256> t{};
        for (int b = 0; b < 256; ++b) t[b] = static_cast<uint8_t>(b < 32 ? b + 64 : b < 96 ? b : b - 32);
        return t;
    }();
    return table;
}

std::vector<uint8_t> capitals(std::span<const uint8_t> text) {
    std::vector<uint8_t> out;
    out.reserve(text.size() + 4);
    for (uint8_t b : text) {
        if (b == 223) {
            out.push_back(83);
            out.push_back(83);
        } else if ((b >= 97 && b <= 122) || (b >= 224 && b <= 228) || (b >= 231 && b <= 246) ||
                   (b >= 249 && b <= 252)) {
            out.push_back(static_cast<uint8_t>(b - 32));
        } else {
            out.push_back(b);
        }
    }
    return out;
}

int64_t findFolded(std::span<const uint8_t> data, std::span<const uint8_t> pattern, int64_t from) {
    if (pattern.empty() || from < 0 || static_cast<size_t>(from) + pattern.size() > data.size()) return -1;
    const auto& fold = foldTable();
    const size_t last = data.size() - pattern.size();  // the last start that fits
    // The buffer bytes that fold to the pattern's first byte (at most three of them).
    uint8_t candidates[3];
    int count = 0;
    for (int b = 0; b < 256; ++b)
        if (fold[b] == pattern[0]) candidates[count++] = static_cast<uint8_t>(b);
    if (count == 0) return -1;
    while (count < 3) candidates[count++] = candidates[0];

    auto matchesAt = [&](size_t p) {
        for (size_t k = 1; k < pattern.size(); ++k)
            if (fold[data[p + k]] != pattern[k]) return false;
        return true;
    };
    size_t p = static_cast<size_t>(from);
    // Sixteen bytes at a time, looking for a byte that can start a match.
    const __m128i c0 = _mm_set1_epi8(static_cast<char>(candidates[0]));
    const __m128i c1 = _mm_set1_epi8(static_cast<char>(candidates[1]));
    const __m128i c2 = _mm_set1_epi8(static_cast<char>(candidates[2]));
    while (p + 16 <= last + 1) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data.data() + p));
        __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, c0), _mm_cmpeq_epi8(block, c1)),
                                    _mm_cmpeq_epi8(block, c2));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        while (mask) {
            size_t at = p + static_cast<size_t>(__builtin_ctz(mask));
            if (matchesAt(at)) return static_cast<int64_t>(at);
            mask &= mask - 1;
        }
        p += 16;
    }
    for (; p <= last; ++p)
        if (fold[data[p]] == pattern[0] && matchesAt(p)) return static_cast<int64_t>(p);
    return -1;
}

}  // namespace editor::search
