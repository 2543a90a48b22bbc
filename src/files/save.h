// Saving a file so that the user's file keeps what it is: its rights, owner, group, mode,
// links and attributes, and so that a kill or a full disk never leaves it half written
// without a whole copy of the new content beside it.
#pragma once

#include <functional>
#include <string>

struct SaveOutcome {
    // True when the file was written over in place (a file with other links, in a sticky
    // folder, of another owner or group, or with attributes a new file could not carry);
    // false when a new file replaced it by rename.
    bool inPlace = false;
    // Where the new content was kept when writing it over the file failed after it was
    // complete in a temporary file (that file's path); empty otherwise.
    std::string keptAt;
};

// Saves the file at path (symbolic links followed): writeContent writes the complete new
// content into a fresh, empty descriptor (write, pwrite, ftruncate, copy_file_range) and
// returns 0 or an errno. Returns 0, or an errno: EACCES (or what the system says) for a
// file the effective user may not write, EISDIR for a folder, ENOTSUP for a device, pipe or
// socket — in those cases nothing is touched.
int f_SaveFile(const std::string& path, const std::function<int(int fd)>& writeContent, SaveOutcome& outcome);
