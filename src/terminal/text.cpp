#include "terminal/text.h"

#include <utf8proc.h>

#include "app/log.h"

namespace kt {

void forEachScalar(std::string_view utf8, const std::function<void(uint32_t)>& fn) {
    size_t i = 0;
    while (i < utf8.size()) {
        utf8proc_int32_t c = 0;
        auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(utf8.data() + i),
                                  static_cast<utf8proc_ssize_t>(utf8.size() - i), &c);
        if (n < 1) {
            fn(0xFFFD);
            ++i;
        } else {
            fn(static_cast<uint32_t>(c));
            i += static_cast<size_t>(n);
        }
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
        utf8proc_int32_t c = 0;
        auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + i),
                                  static_cast<utf8proc_ssize_t>(text.size() - i), &c);
        if (n < 1) return false;
        i += static_cast<size_t>(n);
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

}  // namespace kt

Text Text::fromString(std::string_view utf8) {
    Text text;
    kt::forEachScalar(utf8, [&](uint32_t c) { text.Elements.push_back(c < 256 ? static_cast<uint8_t>(c) : '?'); });
    return text;
}

std::string Text::toString() const {
    auto hex = [](uint8_t c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out;
    const auto& e = Elements;
    for (size_t i = 0; i < e.size(); ++i) {
        if (e[i] == 27 && i + 5 < e.size() && e[i + 5] == 29) {
            int value = 0;
            bool digits = true;
            for (size_t k = 1; k <= 4; ++k) {
                int d = hex(e[i + k]);
                if (d < 0) digits = false;
                value = value * 16 + (d < 0 ? 0 : d);
            }
            if (digits) {
                out += kt::utf8Of(value >= 0xD800 && value <= 0xDFFF ? 0 : static_cast<uint32_t>(value));
                i += 5;
                continue;
            }
        }
        out += kt::utf8Of(e[i]);
    }
    return out;
}
