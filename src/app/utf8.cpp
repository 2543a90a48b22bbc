#include "app/utf8.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>

namespace kt {
namespace {

// One stretch of valid UTF-8 through the library's mapping.
std::string mapValid(std::string_view run, utf8proc_option_t options) {
    utf8proc_uint8_t* mapped = nullptr;
    auto n = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(run.data()),
                          static_cast<utf8proc_ssize_t>(run.size()), &mapped, options);
    std::string out =
        n >= 0 && mapped ? std::string(reinterpret_cast<char*>(mapped), static_cast<size_t>(n)) : std::string(run);
    std::free(mapped);
    return out;
}

// Normalises each stretch of valid UTF-8 and keeps the bytes between them, so that a name
// that is no UTF-8 is still shown character by character.
std::string normalize(const std::string& text, utf8proc_option_t options) {
    std::string out;
    out.reserve(text.size());
    size_t runStart = 0, i = 0;
    while (i < text.size()) {
        uint32_t c = 0;
        if (size_t n = decodeScalar(text, i, c)) {
            i += n;
            continue;
        }
        if (i > runStart) out += mapValid(std::string_view(text).substr(runStart, i - runStart), options);
        out += text[i];
        runStart = ++i;
    }
    if (i > runStart) out += mapValid(std::string_view(text).substr(runStart, i - runStart), options);
    return out;
}

}  // namespace

std::string utf8Of(uint32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

size_t decodeScalar(std::string_view utf8, size_t at, uint32_t& scalar) {
    if (at >= utf8.size()) return 0;
    utf8proc_int32_t c = 0;
    auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(utf8.data() + at),
                              static_cast<utf8proc_ssize_t>(utf8.size() - at), &c);
    if (n < 1) return 0;
    scalar = static_cast<uint32_t>(c);
    return static_cast<size_t>(n);
}

void forEachScalar(std::string_view utf8, const std::function<void(uint32_t)>& fn) {
    size_t i = 0;
    while (i < utf8.size()) {
        uint32_t c = 0;
        size_t n = decodeScalar(utf8, i, c);
        fn(n ? c : 0xFFFD);
        i += n ? n : 1;
    }
}

std::vector<uint32_t> scalarsOf(std::string_view utf8) {
    std::vector<uint32_t> out;
    out.reserve(utf8.size());
    forEachScalar(utf8, [&](uint32_t c) { out.push_back(c); });
    return out;
}

size_t scalarCount(std::string_view utf8) {
    size_t n = 0;
    forEachScalar(utf8, [&](uint32_t) { ++n; });
    return n;
}

bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        uint32_t c = 0;
        size_t n = decodeScalar(text, i, c);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string firstScalars(std::string_view utf8, size_t n) {
    std::string out;
    size_t taken = 0;
    forEachScalar(utf8, [&](uint32_t c) {
        if (taken++ < n) out += utf8Of(c);
    });
    return out;
}

std::string latin1ToUtf8(const std::vector<uint8_t>& codes) {
    std::string out;
    out.reserve(codes.size());
    for (uint8_t c : codes) out += utf8Of(c);
    return out;
}

std::string bytesAsText(const std::vector<uint8_t>& bytes) {
    std::string utf8(bytes.begin(), bytes.end());
    return isValidUtf8(utf8) ? utf8 : latin1ToUtf8(bytes);
}

uint32_t lowerScalar(uint32_t scalar) {
    return static_cast<uint32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(scalar)));
}

std::string lowerCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        for (char c : text) out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        return out;
    }
    size_t i = 0;
    while (i < text.size()) {
        uint32_t c = 0;
        size_t n = decodeScalar(text, i, c);
        if (n == 0) {
            out += text[i++];
            continue;
        }
        out += utf8Of(lowerScalar(c));
        i += n;
    }
    return out;
}

std::string normalizeC(const std::string& text) {
    return normalize(text, static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
}

std::string normalizeKC(const std::string& text) {
    return normalize(text, static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_COMPAT));
}

std::vector<size_t> clusterStarts(std::string_view text) {
    std::vector<size_t> starts;
    utf8proc_int32_t previous = -1, state = 0;
    size_t i = 0;
    while (i < text.size()) {
        uint32_t c = 0;
        size_t n = decodeScalar(text, i, c);
        if (n == 0) {
            starts.push_back(i);
            previous = -1;
            state = 0;
            ++i;
            continue;
        }
        const auto scalar = static_cast<utf8proc_int32_t>(c);
        if (previous < 0 || utf8proc_grapheme_break_stateful(previous, scalar, &state)) starts.push_back(i);
        previous = scalar;
        i += n;
    }
    return starts;
}

}  // namespace kt
