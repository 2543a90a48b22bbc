// Creating the video memory and setting up graphic windows.
#pragma once

#include <cstdint>
#include <string>

#include "display/window.h"

void t_InitMemory();

// A window whose image is columns × lines characters of the font, with a border of the
// given pixels on all four sides, automatic refresh on and the title bar shown.
void t_InitWindow(uint8_t window, int64_t bitDepth, int64_t columns, int64_t lines, int64_t border,
                  const std::string& fontName);

namespace kt {

// The set-up itself, in pixels.
void setUpWindow(uint8_t window, int64_t bitDepth, bool autoUpdate, int64_t width, int64_t height,
                 int64_t borderWidth, int64_t borderHeight, const t_Font& font, bool titleVisible);

// Waits until the video memory exists, creating it when nobody has started to.
void waitForMemory();

}  // namespace kt
