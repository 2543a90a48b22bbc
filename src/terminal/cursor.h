// Moving, placing, showing and hiding the text cursor of a graphic window.
#pragma once

#include <cstdint>

void t_CursorRight(uint8_t window);
void t_CursorLeft(uint8_t window);
void t_CursorDown(uint8_t window);
void t_CursorUp(uint8_t window);
void t_CursorHome(uint8_t window);
void t_CursorEnd(uint8_t window);
void t_Cr(uint8_t window);
void t_Cr();
void t_Htab(uint8_t window, int64_t column);
void t_Htab(int64_t column);
void t_Vtab(uint8_t window, int64_t line);
void t_Vtab(int64_t line);
int64_t t_Hpos(uint8_t window);
void t_CursorOn(uint8_t window);
void t_CursorOff(uint8_t window);
void t_CursorDraw(uint8_t window);
