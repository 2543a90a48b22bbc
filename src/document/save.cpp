#include "document/save.h"

namespace document {

int saveDocument(Document& document, const std::string& path, const Progress& progress, SaveOutcome* outcome) {
    SaveOutcome own;
    SaveOutcome& result = outcome ? *outcome : own;
    int error = f_SaveFile(
        path, [&](int fd) { return document.writeTo(fd, progress); }, result);
    if (error != 0) return error;
    // The file is saved; should the document fail to read from it, it keeps reading from
    // the files it had (the same bytes) and the caller hears of the error.
    error = document.rebase(path, result.inPlace);
    if (error != 0) document.markSaved();
    return error;
}

}  // namespace document
