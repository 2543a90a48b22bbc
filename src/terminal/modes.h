// Display modes, inverse display and colours of the text terminal.
#pragma once

#include <cstdint>

void t_Normal(uint8_t window);
void t_Normal();
void t_Inverse(uint8_t window);
void t_Inverse();
void t_Reverse(uint8_t window);
void t_DisplayMode(uint8_t window, int64_t mode);
void t_Color(uint8_t window, uint8_t colour);

// A character on its way to the screen, translated by the window's display mode: the code
// to draw (negative: draw nothing, do not move) and the state the caller stores afterwards.
struct t_DisplayResult {
    int64_t Code;
    bool Inverse;
    uint8_t Colour;
};
t_DisplayResult t_ApplyDisplayMode(uint8_t window, int64_t character);
