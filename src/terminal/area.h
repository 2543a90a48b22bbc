// Text areas, clearing, scrolling, inverting and reading back the cells of a window.
#pragma once

#include <cstdint>
#include <string>

void t_Area(uint8_t window, int64_t firstColumn, int64_t firstLine, int64_t lastColumn, int64_t lastLine);
void t_FullArea(uint8_t window);
void t_ClearEndOfLine(uint8_t window);
void t_ClearEndOfLine();
void t_ClearEndOfWindow(uint8_t window);
void t_ClearWindow();
void t_ClearRect(uint8_t window, int64_t firstColumn, int64_t firstLine, int64_t lastColumn, int64_t lastLine);
void t_ScrollUp(uint8_t window);
void t_ScrollDown(uint8_t window);
void t_InvertRect(uint8_t window, int64_t firstColumn, int64_t firstLine, int64_t lastColumn, int64_t lastLine);
void t_TextHline(uint8_t window, int64_t fromColumn, int64_t toColumn, int64_t line, uint8_t code);
void t_TextLine(uint8_t window);
std::string t_GetScreen(uint8_t window, const std::string& lineEnd);
