// Program end: a user program ends its own thread, leaving a closing message in its window;
// the application stays open until the user quits it.
#pragma once

#include <cstdint>

// Writes "(Programm Ende)" into `window` (when it is a graphic window with a host window and
// a text screen), tells the host that the program has ended and ends the calling thread.
[[noreturn]] void t_QuitProgram(uint8_t window);
