// Text: a sequence of 8-bit character codes of the toolkit's character set, and the
// conversions between it and UTF-8 strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/utf8.h"

struct Text {
    std::vector<uint8_t> Elements;

    Text() = default;
    explicit Text(std::vector<uint8_t> codes) : Elements(std::move(codes)) {}
    // Codes of a string whose scalars are all below 256 (others become "?").
    static Text fromString(std::string_view utf8);
    // Code by code, each code the scalar of the same number; an escape group (27, four
    // hexadecimal digits, 29) becomes the one scalar it names.
    std::string toString() const;
    // The codes that toString makes a string of again: a scalar below 256 as its code, one up
    // to U+FFFF as its escape group; "?" for one beyond.
    static Text withGroups(std::string_view utf8);
    bool operator==(const Text&) const = default;
};
