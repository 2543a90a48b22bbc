// Saving a document to a path as every save is made (a new file renamed over the old one, or
// the old one written over safely where a rename would change what the user has), then
// reading from the saved file.
#pragma once

#include <string>

#include "document/document.h"
#include "files/save.h"

namespace document {

// 0 or an errno; on failure the file at path is untouched or, after a failed write in place,
// the whole new content is kept where outcome says.
int saveDocument(Document& document, const std::string& path, const Progress& progress = {},
                 SaveOutcome* outcome = nullptr);

}  // namespace document
