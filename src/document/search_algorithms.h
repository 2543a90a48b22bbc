// Finding byte patterns in a span of bytes: exact, and with the editor's case folding.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace document::search {

// The first position p ≥ from where pattern occurs in data, or −1.
int64_t findExact(std::span<const uint8_t> data, std::span<const uint8_t> pattern, int64_t from);

// The case folding of a buffer byte: control bytes become their letter, lower case the
// capital (the capital of the character the byte rows show for the byte).
const std::array<uint8_t, 256>& foldTable();
// A search text turned to capitals byte by byte (ß becomes SS); its bytes 96 to 127 that
// are no letters are folded as the buffer's are.
std::vector<uint8_t> capitals(std::span<const uint8_t> text);
// The first position p ≥ from where the folded data equals pattern, or −1. Uses SSE2 where
// the processor has it, otherwise findFoldedPortable.
int64_t findFolded(std::span<const uint8_t> data, std::span<const uint8_t> pattern, int64_t from);
// The same without processor-specific code; built everywhere, so both can be compared.
int64_t findFoldedPortable(std::span<const uint8_t> data, std::span<const uint8_t> pattern, int64_t from);

}  // namespace document::search
