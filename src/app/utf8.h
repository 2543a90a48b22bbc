// UTF-8 and Unicode helpers for the whole program: decoding, counting, cutting, case,
// normalisation and grapheme clusters. Every use of the Unicode library goes through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kt {

// UTF-8 of one Unicode scalar (U+FFFD for a value that is none).
std::string utf8Of(uint32_t scalar);
// Decodes the scalar that starts at `at`; the number of bytes it takes, 0 when the bytes
// there are no UTF-8 (scalar is then left alone).
size_t decodeScalar(std::string_view utf8, size_t at, uint32_t& scalar);
// Calls fn with every Unicode scalar of a UTF-8 string; a byte that is no UTF-8 gives U+FFFD.
void forEachScalar(std::string_view utf8, const std::function<void(uint32_t)>& fn);
std::vector<uint32_t> scalarsOf(std::string_view utf8);
size_t scalarCount(std::string_view utf8);
bool isValidUtf8(std::string_view text);
// The first n scalars of a string.
std::string firstScalars(std::string_view utf8, size_t n);
// A string of scalars each below 256 from codes (Latin-1 to UTF-8).
std::string latin1ToUtf8(const std::vector<uint8_t>& codes);
// Bytes as the user typed them: UTF-8 when they are, else each byte as the character of the
// same number.
std::string bytesAsText(const std::vector<uint8_t>& bytes);

// Lower case scalar by scalar; bytes that are not UTF-8 stay as they are.
std::string lowerCase(std::string_view text);
uint32_t lowerScalar(uint32_t scalar);
// Unicode normalisation form C (canonical composition) and KC (compatibility decomposition,
// then composition). Bytes that are not UTF-8 are kept as they are.
std::string normalizeC(const std::string& text);
std::string normalizeKC(const std::string& text);
// Start offsets of the extended grapheme clusters of a UTF-8 string. A byte that is not
// valid UTF-8 is a cluster of its own.
std::vector<size_t> clusterStarts(std::string_view text);

}  // namespace kt
