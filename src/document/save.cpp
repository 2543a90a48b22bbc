#include "document/save.h"

#include "app/log.h"
#include "document/state.h"

namespace document {

using detail::FileSource;

namespace {

// Whether any file the document reads from is that file.
bool readsFrom(const Document::State& s, const FileIdentity& file) {
    for (const auto& source : s.sources)
        if (source && !source->isStore() && source->identity().sameFile(file)) return true;
    return false;
}

// What the history needs of files other than the current one goes to its store; should
// that fail, the history keeps those files open (it loses nothing).
void letGoOfOlderFiles(Document::State& s) {
    Document::State::Ranges older = s.allFiles();
    older.erase(s.current);
    if (const int error = s.storeHistory(older); error != 0)
        kt::logLine("saveDocument: Error #" + std::to_string(error) +
                    ": The undo history could not be kept apart; it keeps the older files open.");
    s.releaseUnusedSources();
}

}  // namespace

int saveDocument(Document& document, const std::string& path, const Progress& progress, SaveOutcome* outcome) {
    SaveOutcome own;
    SaveOutcome& result = outcome ? *outcome : own;
    Document::State& s = *document.s_;
    document.endStep();
    bool ownFileOverwritten = false;
    int error = f_SaveFile(
        path, [&](int fd) { return document.writeTo(fd, progress); }, result,
        [&](const FileIdentity& target) {
            // The bytes of that file are about to change: first the history's share of every
            // file goes to its own store. Failing that, a history that reads the file is dropped.
            ownFileOverwritten = readsFrom(s, target);
            if (s.storeHistory(s.allFiles()) != 0 && ownFileOverwritten) {
                kt::logLine("saveDocument: The undo history could not be kept; it is dropped.");
                s.dropHistory();
            }
            s.releaseUnusedSources();
        });
    if (result.written && path == s.path) s.identity = *result.written;  // our own write is no change by another
    OwnedFile content = std::move(result.content);
    if (!content) return error;

    // The content is read from the file that holds it as written: the saved file, or after a
    // failure halfway the kept copy. A file written but unreadable is taken only when the
    // document's own file was the one written over.
    const bool saved = error == 0 && result.contentIsTarget;
    if (!saved && error == 0 && !ownFileOverwritten) return EIO;
    int adoptError = 0;
    auto file = FileSource::adopt(std::move(content), result.contentIdentity, adoptError);
    if (!file || file->identity().size != s.size()) return error != 0 ? error : file ? EIO : adoptError;
    s.rebind(std::move(file));
    if (!saved) return error != 0 ? error : EIO;
    s.path = path;
    s.identity = s.sources[s.current]->identity();
    s.readFailed = false;
    s.savedId = s.currentId();
    letGoOfOlderFiles(s);
    return 0;
}

}  // namespace document
