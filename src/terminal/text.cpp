#include "terminal/text.h"

#include "app/utf8.h"


Text Text::fromString(std::string_view utf8) {
    Text text;
    kt::forEachScalar(utf8, [&](uint32_t c) { text.Elements.push_back(c < 256 ? static_cast<uint8_t>(c) : '?'); });
    return text;
}

Text Text::withGroups(std::string_view utf8) {
    static constexpr char digits[] = "0123456789ABCDEF";
    Text text;
    auto& e = text.Elements;
    kt::forEachScalar(utf8, [&](uint32_t c) {
        if (c < 256) {
            e.push_back(static_cast<uint8_t>(c));
        } else if (c > 0xFFFF) {
            e.push_back('?');
        } else {
            e.push_back(27);
            for (int shift = 12; shift >= 0; shift -= 4) e.push_back(static_cast<uint8_t>(digits[(c >> shift) & 15]));
            e.push_back(29);
        }
    });
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
