// Thread numbers and names, the program launcher and asynchronous work.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kt {

// The number of the calling thread: 1 for the host's main thread, then increasing in the
// order in which threads were started by the toolkit (or first asked, for foreign ones).
int threadNumber();
// Gives the calling thread a fixed number (the host's main thread claims 1).
void claimThreadNumber(int number);
void nameThread(const std::string& name);
std::string threadName();

// Ends the calling thread, the program's: the host learns that the program has ended.
[[noreturn]] void endProgramThread();

}  // namespace kt

// Starts entry on a new thread with a stack of stackSize bytes; returns once the thread has
// been started. Two launches are serialised: the second waits until the first thread has
// taken its entry.
void startprocess(std::function<void()> entry, int64_t stackSize);
// Runs entry asynchronously on a worker; the caller continues at once.
void startasyncprocess(std::function<void()> entry);
