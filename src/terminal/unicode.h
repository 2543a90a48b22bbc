// Host text (Unicode) to the font's 8-bit character codes, and normalisation helpers.
#pragma once

#include <string>
#include <utility>

// Converts text to a string whose every scalar is the font code (0 to 255) to draw. The flag
// is true when some character had no code (it becomes code 127 and is logged). Bytes that
// are not UTF-8 count as characters without a code.
std::pair<std::string, bool> t_ConvertUniCode(const std::string& text);

namespace kt {

// Unicode normalisation form C (canonical composition) and KC (compatibility decomposition,
// then composition). Bytes that are not UTF-8 are kept as they are.
std::string normalizeC(const std::string& text);
std::string normalizeKC(const std::string& text);

}  // namespace kt
