// Log lines of the toolkit: one English line per event on standard output (or the file
// chosen with --log), written whole so that threads do not interleave inside a line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace kt {

// Writes text and a line end.
void logLine(std::string_view text);
// Writes text without a line end (a line made of pieces, or redirected text output).
void logText(std::string_view text);
// Where log lines and redirected output go; standard output unless changed.
void setLogStream(std::FILE* stream);
std::FILE* logStream();

// "$" followed by eight capital hexadecimal digits of the low 32 bits.
std::string hex8(int64_t value);

}  // namespace kt
