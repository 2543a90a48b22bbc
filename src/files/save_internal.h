// What the two halves of saving share: the new file replacing the old (save.cpp) and the
// new content written over the old file in place (save_over.cpp).
#pragma once

#include <sys/stat.h>

#include <string>

#include "files/save.h"

namespace save_detail {

// The file a path names after following symbolic links, so that saving through a link
// writes the file it points to, not the link.
std::string resolveLinks(const std::string& path);
// ".<name>.ostrakonix-": the start of the names of a file's temporary files (and journal).
std::string temporaryStem(std::string name);
// Removes the temporary files of the file's earlier saves whose process has ended.
void removeStaleTemporaries(const std::string& folder, const std::string& stem);
// A new temporary file in folder, "<stem><pid>-XXXXXX", its name in path; −1 and errno.
int createTemporary(const std::string& folder, const std::string& stem, std::string& path);
// A folder of our own (with a trailing "/") for what the file's folder does not take; empty
// when there is none.
std::string privateFolder();
// The folder of a file's path, with its trailing "/" ("./" for a bare name).
std::string folderOf(const std::string& path);
// Makes a folder's entries durable: 0 or an errno.
int syncFolder(const std::string& folder);

// Writing clears the set-ID bits of a file: its owner gets them back (mode as before the
// write); a log line tells when they are lost.
void restoreMode(int fd, mode_t mode, const std::string& target);

// Writes the complete, synced new content (in the temporary file fd, named temporary) over
// the file at target. The file's owner, group, mode, links,
// attributes and holes stay as they are. Before the file is touched the temporary file is
// renamed to a name that no clean-up removes, so that a failure (or a kill) halfway leaves
// the whole new content there. Takes fd over; fills outcome.
int writeOver(const std::string& target, const std::string& temporary, int fd, SaveOutcome& outcome,
              const std::function<void(const FileIdentity&)>& beforeWriteOver);

}  // namespace save_detail
