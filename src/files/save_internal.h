// What the two halves of saving share: the new file replacing the old (save.cpp) and the
// new content written over the old file in place (save_over.cpp).
#pragma once

#include <sys/stat.h>

#include <string>

#include "files/save.h"

namespace save_detail {

void syncFolder(const std::string& folder);

// Writes the complete, synced new content (in the temporary file fd, named temporary) over
// the file at target. The file's owner, group, mode, links,
// attributes and holes stay as they are. Before the file is touched the temporary file is
// renamed to a name that no clean-up removes, so that a failure (or a kill) halfway leaves
// the whole new content there. Takes fd over; fills outcome.
int writeOver(const std::string& target, const std::string& temporary, int fd, SaveOutcome& outcome,
              const std::function<void(const FileIdentity&)>& beforeWriteOver);

}  // namespace save_detail
