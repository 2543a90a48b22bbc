// Text: a sequence of 8-bit character codes of the toolkit's character set, and the
// conversions between it and UTF-8 strings.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct Text {
    std::vector<uint8_t> Elements;

    Text() = default;
    explicit Text(std::vector<uint8_t> codes) : Elements(std::move(codes)) {}
    // Codes of a string whose scalars are all below 256 (others become "?").
    static Text fromString(std::string_view utf8);
    // Code by code, each code the scalar of the same number; an escape group (27, four
    // hexadecimal digits, 29) becomes the one scalar it names.
    std::string toString() const;
    bool operator==(const Text&) const = default;
};

namespace kt {

// Calls fn with every Unicode scalar of a UTF-8 string; a byte that is no UTF-8 gives U+FFFD.
void forEachScalar(std::string_view utf8, const std::function<void(uint32_t)>& fn);
std::vector<uint32_t> scalarsOf(std::string_view utf8);
size_t scalarCount(std::string_view utf8);
bool isValidUtf8(std::string_view text);
// The first n scalars of a string.
std::string firstScalars(std::string_view utf8, size_t n);
// A string of scalars each below 256 from codes (Latin-1 to UTF-8).
std::string latin1ToUtf8(const std::vector<uint8_t>& codes);

}  // namespace kt
