// Host text (Unicode) to the font's 8-bit character codes.
#pragma once

#include <string>
#include <utility>

#include "app/utf8.h"

// Converts text to a string whose every scalar is the font code (0 to 255) to draw. The flag
// is true when some character had no code (it becomes code 127 and is logged). Bytes that
// are not UTF-8 count as characters without a code.
std::pair<std::string, bool> t_ConvertUniCode(const std::string& text);
