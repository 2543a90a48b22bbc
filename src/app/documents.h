// Files opened from the desktop become file events for the program.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "input/events.h"

std::atomic<bool>& t_FileEventAvailable();
std::vector<t_Event> t_FileEventQueue();
t_Event t_LastFileEvent();
// Run on a worker for every file event; the editor registers none and polls instead.
std::function<void()>& t_ProgramFileHandler();
// When set, the file-open path logs its steps.
std::atomic<bool>& t_DocumentLog();

// Takes the oldest file event and returns its path; empty when there is none.
std::string t_GetFileEvent();

namespace kt {
// −1 for an empty path, 0 when nothing is there, 1 for a file, 2 for a folder.
int64_t fileStatus(const std::string& path);
}  // namespace kt
