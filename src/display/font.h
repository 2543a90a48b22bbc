// Bitmap font resources: header checks and the unpacking of compressed glyph data.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "display/window.h"

// Loads the font resource file `name` from the application's resource folder. Every
// failure gives a font with empty Data.
t_Font t_LoadFontResource(const std::string& name);

namespace kt {

// Parses the bytes of a font file as t_LoadFontResource does (name is only for the log).
t_Font parseFont(std::span<const uint8_t> file, const std::string& name);

// Unpacks Lempel-Ziv-Welch data with a fixed code width given by the first byte. Corrupt
// data gives an empty result.
std::vector<uint8_t> lzwUnpack(const std::vector<uint8_t>& packed);

// Packs bytes into the same form (used by the font generator and the tests).
std::vector<uint8_t> lzwPack(const std::vector<uint8_t>& bytes, int codeWidth);

// The largest unpacked glyph data accepted: 256 glyphs of 255 × 255 pixels, with room to
// spare. Data that would unpack to more is taken as corrupt.
constexpr size_t maxUnpackedFontBytes = 64u << 20;

}  // namespace kt
