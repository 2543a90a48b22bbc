#include <string.h>

#include "document/search_algorithms.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace document::search {

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
        } else if ((b >= 96 && b <= 127) || (b >= 224 && b <= 228) || (b >= 231 && b <= 246) ||
                   (b >= 249 && b <= 252)) {
            // 96 to 127 all 32 lower: the letters to capitals, and ` { | } ~ DEL as the
            // buffer's bytes are folded, so that each is found at least as itself.
            out.push_back(static_cast<uint8_t>(b - 32));
        } else {
            out.push_back(b);
        }
    }
    return out;
}

namespace {

// What both folded scans share: the bytes that can start a match and the full comparison.
struct FoldedScan {
    std::span<const uint8_t> data, pattern;
    const std::array<uint8_t, 256>& fold = foldTable();
    size_t last = 0;  // the last start that fits
    uint8_t candidates[3] = {};  // the buffer bytes that fold to the pattern's first byte
    int count = 0;

    FoldedScan(std::span<const uint8_t> d, std::span<const uint8_t> p) : data(d), pattern(p) {
        last = data.size() - pattern.size();
        for (int b = 0; b < 256; ++b)
            if (fold[b] == pattern[0]) candidates[count++] = static_cast<uint8_t>(b);
    }
    bool matchesAt(size_t p) const {
        for (size_t k = 1; k < pattern.size(); ++k)
            if (fold[data[p + k]] != pattern[k]) return false;
        return true;
    }
    // The byte-by-byte scan from p to the last start.
    int64_t plain(size_t p) const {
        for (; p <= last; ++p)
            if (fold[data[p]] == pattern[0] && matchesAt(p)) return static_cast<int64_t>(p);
        return -1;
    }
};

bool usable(std::span<const uint8_t> data, std::span<const uint8_t> pattern, int64_t from) {
    return !pattern.empty() && from >= 0 && static_cast<size_t>(from) + pattern.size() <= data.size();
}

}  // namespace

int64_t findFoldedPortable(std::span<const uint8_t> data, std::span<const uint8_t> pattern, int64_t from) {
    if (!usable(data, pattern, from)) return -1;
    FoldedScan scan(data, pattern);
    if (scan.count == 0) return -1;
    // memchr finds the rarest candidate quickly; with several candidates the plain scan is
    // as good as any portable trick.
    if (scan.count == 1) {
        size_t p = static_cast<size_t>(from);
        while (p <= scan.last) {
            const void* hit = memchr(data.data() + p, scan.candidates[0], scan.last + 1 - p);
            if (!hit) return -1;
            p = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data.data());
            if (scan.matchesAt(p)) return static_cast<int64_t>(p);
            ++p;
        }
        return -1;
    }
    return scan.plain(static_cast<size_t>(from));
}

int64_t findFolded(std::span<const uint8_t> data, std::span<const uint8_t> pattern, int64_t from) {
#ifdef __SSE2__
    if (!usable(data, pattern, from)) return -1;
    FoldedScan scan(data, pattern);
    if (scan.count == 0) return -1;
    uint8_t c[3] = {scan.candidates[0], scan.candidates[0], scan.candidates[0]};
    for (int i = 1; i < scan.count; ++i) c[i] = scan.candidates[i];
    size_t p = static_cast<size_t>(from);
    // Sixteen bytes at a time, looking for a byte that can start a match.
    const __m128i c0 = _mm_set1_epi8(static_cast<char>(c[0]));
    const __m128i c1 = _mm_set1_epi8(static_cast<char>(c[1]));
    const __m128i c2 = _mm_set1_epi8(static_cast<char>(c[2]));
    while (p + 16 <= scan.last + 1) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data.data() + p));
        __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, c0), _mm_cmpeq_epi8(block, c1)),
                                    _mm_cmpeq_epi8(block, c2));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        while (mask) {
            size_t at = p + static_cast<size_t>(__builtin_ctz(mask));
            if (scan.matchesAt(at)) return static_cast<int64_t>(at);
            mask &= mask - 1;
        }
        p += 16;
    }
    return scan.plain(p);
#else
    return findFoldedPortable(data, pattern, from);
#endif
}

}  // namespace document::search
