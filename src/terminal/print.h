// Text output of the terminal: strings, byte texts, characters, spaces, tabs, control codes.
#pragma once

#include <cstdint>
#include <string>

#include "terminal/text.h"

void t_Print(uint8_t window, const std::string& text);
void t_Print(uint8_t window, const Text& text);
void t_Print(const std::string& text);
void t_Print(const Text& text);
void t_PrintChar(uint8_t window, uint8_t code);
void t_PrintSpc(uint8_t window, int64_t count);
void t_PrintTab(uint8_t window, int64_t column, uint8_t fill);
void t_PrintControl(uint8_t window, uint8_t code);
void t_RedirectOutput(uint8_t window, int64_t target);
void t_PrintTitleLine(uint8_t window, const std::string& title, int64_t width);

namespace kt {
// What printing does at a line end and when a print is done: pause while the newest key asks
// for it. The keyboard's layer above sets it; until then printing never pauses.
using OutputPause = void (*)();
void setOutputPause(OutputPause pause);
}  // namespace kt
