// Finding byte patterns in the buffer: exact, and with the editor's case folding.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace editor::search {

// The first position p ≥ from where pattern occurs in data, or −1.
int64_t findExact(std::span<const uint8_t> data, std::span<const uint8_t> pattern, int64_t from);

// The case folding of a buffer byte: control bytes become their letter, lower case the
// capital (the capital of the character the byte rows show for the byte).
const std::array<uint8_t, 256>& foldTable();
// A search text turned to capitals byte by byte (ß becomes SS).
std::vector<uint8_t> capitals(std::span<const uint8_t> text);
// The first position p ≥ from where the folded data equals pattern, or −1.
int64_t findFolded(std::span<const uint8_t> data, std::span<const uint8_t> pattern, int64_t from);

}  // namespace editor::search
