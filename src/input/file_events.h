// Files opened from the desktop become file events for the program.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "input/events.h"

// The request of a file event (its Index): open the file; save what the program holds to
// it (the desktop's "save as"); or start a new, empty file there, for a name that does not
// exist yet (named on the command line).
namespace fileRequest {
inline constexpr int64_t open = 0, saveAs = 1, create = 2;
}

bool t_FileEventAvailable();
std::vector<t_Event> t_FileEventQueue();
t_Event t_LastFileEvent();
// Run on a worker for every file event; the editor registers none and polls instead.
std::function<void()>& t_ProgramFileHandler();
// Whether the file-open path logs its steps; the program switches it on.
bool t_DocumentLog();
void t_SetDocumentLog(bool on);

// Takes the oldest file event and returns its path; empty when there is none.
std::string t_GetFileEvent();
