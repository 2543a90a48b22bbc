// Drawing one character into one text cell, and the 16-colour palette.
#pragma once

#include <array>
#include <cstdint>

#include "display/window.h"

struct t_PaletteEntry {
    uint8_t Red, Green, Blue;
};

const std::array<t_PaletteEntry, 16>& t_Palette();
// Palette colour n (low four bits) as a colour value with alpha 255.
t_RGBColor t_PaletteColor(uint8_t number);

void t_PrintSymbol(uint8_t window, uint8_t code, uint8_t colour, int64_t x, int64_t y);
void t_PrintSymbol(uint8_t window, uint8_t code, int64_t x, int64_t y);
void t_PrintSymbol(uint8_t window, uint8_t code);
