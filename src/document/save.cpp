#include "document/save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <span>
#include <vector>

#include "app/log.h"
#include "document/state.h"
#include "files/journal.h"

namespace document {

using detail::FileSource;

namespace {

// The whole of each file the document reads from that is that file.
Document::State::Ranges sourcesOf(const Document::State& s, const FileIdentity& file) {
    Document::State::Ranges ranges;
    for (uint32_t i = 0; i < s.sources.size(); ++i)
        if (s.sources[i] && !s.sources[i]->isStore() && s.sources[i]->identity().sameFile(file))
            ranges[i] = {{0, INT64_MAX}};
    return ranges;
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

constexpr int64_t journaledLimit = int64_t{64} << 20;  // changed bytes a journaled save writes at most
// Changes closer than this are written as one range: the bytes between them are the file's
// own (old and new alike, so writing them changes nothing), and each range costs a journal
// entry, a read of its old bytes and a write.
constexpr int64_t mergedGap = 4 << 10;
// Ranges a journaled save writes at most, after merging. Each costs two system calls and a
// place in memory when the journal is written and read back; a few thousand take
// milliseconds. Past that (a change-all of the same length with millions of scattered hits)
// the per-range costs grow beyond rewriting the file, whose data the kernel copies in large
// blocks: the file is saved whole.
constexpr size_t journaledRanges = 4096;
constexpr int notTried = -1;

// Where the content differs from its current file, when every change kept the length (the
// content reads the file only at the same places, so writing the other places in place
// takes nothing it reads) and the changed bytes and their ranges are few enough; nothing
// otherwise. total is the bytes the ranges hold.
std::optional<std::vector<std::pair<int64_t, int64_t>>> changedRanges(const Document::State& s, int64_t& total) {
    if (s.current == detail::addedSource || s.sources[s.current]->identity().size != s.size()) return std::nullopt;
    std::vector<std::pair<int64_t, int64_t>> ranges;
    int64_t at = 0;
    total = 0;
    bool shifted = false;
    s.tree.forEach(s.root, 0, s.size(), [&](const detail::Piece& piece, int64_t first, int64_t count) {
        shifted = shifted || (piece.source == s.current && piece.offset + first != at);
        if (piece.source != s.current && ranges.size() <= journaledRanges) {
            if (!ranges.empty() && at - ranges.back().second < mergedGap) {
                total += at + count - ranges.back().second;
                ranges.back().second = at + count;
            } else {
                ranges.emplace_back(at, at + count);
                total += count;
            }
        }
        at += count;
    });
    if (shifted || total > journaledLimit || ranges.size() > journaledRanges) return std::nullopt;
    return ranges;
}

// A save of the document's own file that kept its length writes only the changed bytes, in
// place, through a journal; the history first takes the bytes they replace into its store.
// notTried when the save is not of that kind (or the file is no longer as it was read).
int saveJournaled(Document::State& s, const std::string& path, SaveOutcome& result) {
    int64_t total = 0;
    const auto ranges = path == s.path ? changedRanges(s, total) : std::nullopt;
    if (!ranges) return notTried;
    FileSource& file = *s.sources[s.current];
    OwnedFile out(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info {};
    if (!out || ::fstat(out.get(), &info) != 0 || !S_ISREG(info.st_mode) || !(f_IdentityOf(info) == file.identity()) ||
        !(s.identity == file.identity()))
        return notTried;
    // The new bytes of all ranges in one buffer.
    std::vector<uint8_t> bytes(static_cast<size_t>(total));
    std::vector<JournalChange> changes;
    changes.reserve(ranges->size());
    const bool failedBefore = s.readFailed;
    s.readFailed = false;
    size_t used = 0;
    for (const auto& [from, to] : *ranges) {
        const auto length = static_cast<size_t>(to - from);
        s.gather(from, to - from, bytes.data() + used);
        changes.push_back(JournalChange{from, std::span<const uint8_t>(bytes.data() + used, length)});
        used += length;
    }
    const bool unread = s.readFailed;
    s.readFailed = s.readFailed || failedBefore;
    if (unread) return EIO;
    if (s.storeHistory({{s.current, *ranges}}) != 0) return notTried;
    result.inPlace = true;
    bool touched = false;
    const int error = changes.empty() ? 0 : f_WriteJournaled(path, out.get(), changes, touched);
    if (touched) {
        // The document wrote the file itself: its content is read from the unchanged ranges
        // (and the new bytes' pieces) as before, however far the write came.
        ::fstat(out.get(), &info);
        file.rewritten(f_IdentityOf(info));
        s.identity = file.identity();
        result.written = s.identity;
        s.cache.forget(s.current);
    }
    if (error != 0) return error;
    const int64_t size = s.size();
    s.tree.release(s.root);
    s.root = size > 0 ? s.tree.make(detail::Piece{s.current, 0, size}) : detail::noNode;
    s.readFailed = false;
    s.savedId = s.currentId();
    letGoOfOlderFiles(s);
    return 0;
}

}  // namespace

int saveDocument(Document& document, const std::string& path, const Progress& progress, SaveOutcome* outcome) {
    SaveOutcome own;
    SaveOutcome& result = outcome ? *outcome : own;
    Document::State& s = *document.s_;
    document.endStep();
    result = {};
    if (const int error = saveJournaled(s, path, result); error != notTried) return error;
    bool ownFileOverwritten = false;
    int error = f_SaveFile(
        path, [&](int fd) { return document.writeTo(fd, progress); }, result,
        [&](const FileIdentity& target) {
            // The bytes of that file are about to change: first the history's share of it goes
            // to its own store (the other files go once the save has succeeded). Failing that, a
            // history that reads the file is dropped.
            const Document::State::Ranges doomed = sourcesOf(s, target);
            ownFileOverwritten = !doomed.empty();
            if (ownFileOverwritten && s.storeHistory(doomed) != 0) {
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
