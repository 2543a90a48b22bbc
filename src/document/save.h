// Saving a document to a path as every save is made (a new file renamed over the old one, or
// the old one written over safely where a rename would change what the user has), then
// reading from the file the save reports holding the new content.
#pragma once

#include <string>

#include "document/document.h"
#include "files/save.h"

namespace document {

// 0 or an errno. On success the document reads from the saved file, is bound to path and
// unmodified; the history keeps what it needs of older files in its own store. On failure
// the file at path is untouched or, after a failed write in place, the whole new content is
// kept where outcome says and the document reads from there; either way it stays modified.
// The document takes outcome's content descriptor over (or closes it).
int saveDocument(Document& document, const std::string& path, const Progress& progress = {},
                 SaveOutcome* outcome = nullptr);

}  // namespace document
