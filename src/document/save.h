// Saving a document over a path in one step: the old file stays whole until the new one is.
#pragma once

#include <string>

#include "document/document.h"

namespace document {

// Writes the document into a new file in path's folder, syncs it, renames it over path,
// syncs the folder and lets the document read from the new file. 0 or an errno; on failure
// path is untouched. The new file takes the permission bits of the file it replaces (or
// the usual ones for a new file). Symbolic links, ownership and folders that refuse new
// files are left to the caller.
int saveDocument(Document& document, const std::string& path, const Progress& progress = {});

}  // namespace document
