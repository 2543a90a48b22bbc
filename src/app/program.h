// The description a program gives of itself for its title screen and window title.
#pragma once

#include <cstdint>
#include <string>

std::string& ProgramName();     // "VelProgram" until the program sets its own
std::string& ProgramKind();     // "Programm"
std::string& ProgramNotice();   // empty
int64_t& ProgramVersion();      // the version times 100; 100 until set
