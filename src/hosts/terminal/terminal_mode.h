// The terminal's modes while the editor runs (raw input, alternate screen, mouse reports,
// bracketed paste, no cursor, no autowrap) and their restoration: at the end, and on a
// crash or termination signal, so that a shell never stays behind in raw mode. One
// terminal per process: the signal handlers need the state in one place.
#pragma once

#include <string>

namespace host::terminal::mode {

// Sets the terminal up; false with the reason when it is no terminal.
bool enter(int inputFd, int outputFd, std::string& error);
// Back to the terminal's previous modes and content; does nothing when not entered.
void leave();
// Sets raw mode and the modes again, after the process was stopped and continued.
void reapply();

// Resizes and continuations write a byte to wakeFd and raise their flag; crash and
// termination signals restore the terminal before the process ends as the signal says.
void installSignalHandlers(int wakeFd);
bool takeResized();
bool takeContinued();

// What enter writes after raw mode and what leave writes before restoring it.
extern const char* const enterSequence;
extern const char* const leaveSequence;

}  // namespace host::terminal::mode
