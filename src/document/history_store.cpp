// The history's own store: the bytes that undo and redo still need from files the document
// lets go of (a file replaced by a save, bytes about to be written over), kept in memory up
// to a bound and beyond it in an unnamed file of the cache folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>

#include "document/state.h"
#include "files/file_ranges.h"
#include "files/io_calls.h"
#include "files/save.h"

namespace document {

using detail::FileSource;
using detail::Node;
using detail::noNode;
using detail::Piece;

namespace {

std::atomic<int64_t> memoryLimit{int64_t{16} << 20};

// One run of bytes to keep: where it is in its file, and where in the store.
struct Kept {
    uint32_t source;
    int64_t start, end;
    uint32_t store;
    int64_t at;
};

// The parts of piece, in order, cut where the ranges begin and end; doomed tells which lie
// in a range.
void cut(const Piece& piece, const std::vector<std::pair<int64_t, int64_t>>& ranges, std::vector<Piece>& parts,
         std::vector<bool>& doomed) {
    int64_t at = piece.offset;
    const int64_t end = piece.offset + piece.length;
    auto range = std::upper_bound(ranges.begin(), ranges.end(), std::pair(at, INT64_MAX));
    if (range != ranges.begin() && std::prev(range)->second > at) --range;
    for (; at < end; ++range) {
        const int64_t from = range == ranges.end() ? end : std::max(range->first, at);
        if (from >= end) {
            parts.push_back(Piece{piece.source, at, end - at});
            doomed.push_back(false);
            break;
        }
        if (from > at) {
            parts.push_back(Piece{piece.source, at, from - at});
            doomed.push_back(false);
        }
        const int64_t to = std::min(range->second, end);
        parts.push_back(Piece{piece.source, from, to - from});
        doomed.push_back(true);
        at = to;
    }
}

}  // namespace

void Document::setStoreMemoryLimit(int64_t bytes) { memoryLimit = bytes; }

Document::State::Ranges Document::State::allFiles() const {
    Ranges ranges;
    for (uint32_t i = 0; i < sources.size(); ++i)
        if (sources[i] && !sources[i]->isStore()) ranges[i] = {{0, INT64_MAX}};
    return ranges;
}

int Document::State::storeHistory(const Ranges& ranges) {
    // The pieces of each history subtree, cut at the edges of the ranges.
    std::vector<Node*> roots;
    for (auto* steps : {&undo, &redo})
        for (Step& step : *steps)
            for (Record& record : step.records)
                if (record.removed != noNode) roots.push_back(&record.removed);
    std::vector<std::vector<Piece>> parts(roots.size());
    std::vector<std::vector<bool>> doomed(roots.size());
    std::vector<Kept> kept;
    for (size_t i = 0; i < roots.size(); ++i) {
        bool any = false;
        tree.forEach(*roots[i], 0, tree.length(*roots[i]), [&](const Piece& piece, int64_t first, int64_t count) {
            const Piece part{piece.source, piece.offset + first, count};
            const auto found = ranges.find(part.source);
            if (found == ranges.end()) {
                parts[i].push_back(part);
                doomed[i].push_back(false);
                return;
            }
            const size_t before = parts[i].size();
            cut(part, found->second, parts[i], doomed[i]);
            for (size_t k = before; k < parts[i].size(); ++k)
                if (doomed[i][k]) {
                    any = true;
                    kept.push_back(
                        Kept{part.source, parts[i][k].offset, parts[i][k].offset + parts[i][k].length, 0, 0});
                }
        });
        if (!any) parts[i].clear();
    }
    if (kept.empty()) return 0;

    // Each byte kept once, however many pieces refer to it.
    std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) {
        return a.source != b.source ? a.source < b.source : a.start < b.start;
    });
    std::vector<Kept> runs;
    int64_t total = 0;
    for (const Kept& k : kept) {
        if (!runs.empty() && runs.back().source == k.source && k.start <= runs.back().end) {
            total += std::max<int64_t>(0, k.end - runs.back().end);
            runs.back().end = std::max(runs.back().end, k.end);
        } else {
            runs.push_back(k);
            total += k.end - k.start;
        }
    }
    const bool inMemory = storedInMemory + total <= memoryLimit;
    const size_t addedBefore = added.size();
    if (!inMemory && (storeFile >= sources.size() || !sources[storeFile])) {
        OwnedFile file(f_ScratchFile());
        if (!file) return errno;
        storeFile = addSource(FileSource::store(std::move(file), 0));
    }
    FileSource* file = inMemory ? nullptr : sources[storeFile].get();
    int64_t at = inMemory ? static_cast<int64_t>(added.size()) : file->identity().size;
    // The copies into the store file leave out holes, which read as zeros only where nothing
    // was written: it is cut back to what it holds first (a store that failed may have written
    // past that), and made as long as it reads at the end.
    auto sizeStore = [&](int64_t size, bool cut) {
        struct stat info {};
        if (::fstat(file->fd(), &info) != 0) return errno;
        return (cut ? info.st_size > size : info.st_size < size) && io::ftruncate(file->fd(), size) != 0 ? errno : 0;
    };
    int error = inMemory ? 0 : sizeStore(at, true);
    for (Kept& run : runs) {
        if (error != 0) break;
        const int64_t length = run.end - run.start;
        run.at = at;
        if (inMemory) {
            added.resize(added.size() + static_cast<size_t>(length));
            if (!sources[run.source]->read(run.start, added.data() + run.at, length)) error = EIO;
        } else {
            error = f_CopyRange(sources[run.source]->fd(), run.start, file->fd(), at, length);
        }
        at += length;
    }
    if (error == 0 && !inMemory) error = sizeStore(at, false);
    if (error != 0) {
        added.resize(addedBefore);
        releaseUnusedSources();  // a store file made for this, should nothing else refer to it
        return error;
    }
    const uint32_t store = inMemory ? detail::addedSource : storeFile;
    if (inMemory) storedInMemory += total;
    if (!inMemory) {
        file->grow(at);
        cache.forget(storeFile);  // a block read before may end where the file ended then
    }

    // The history's subtrees built again, their kept parts now in the store.
    for (size_t i = 0; i < roots.size(); ++i) {
        if (parts[i].empty()) continue;
        for (size_t k = 0; k < parts[i].size(); ++k) {
            if (!doomed[i][k]) continue;
            Piece& p = parts[i][k];
            const auto run = std::prev(std::upper_bound(runs.begin(), runs.end(), p, [](const Piece& q, const Kept& r) {
                return q.source != r.source ? q.source < r.source : q.offset < r.start;
            }));
            p = Piece{store, run->at + (p.offset - run->start), p.length};
        }
        const Node rebuilt = tree.build(parts[i]);
        tree.release(*roots[i]);
        *roots[i] = rebuilt;
    }
    return 0;
}

void Document::State::dropHistory() {
    // A modified content stays modified: the saved state is one no longer reachable.
    const bool modified = currentId() != savedId;
    for (auto* steps : {&undo, &redo})
        for (Step& step : *steps)
            for (Record& record : step.records) tree.release(record.removed);
    undo.clear();
    redo.clear();
    stepStarted = false;
    savedId = modified ? nextId++ : 0;
}

void Document::State::rebind(std::shared_ptr<FileSource> file) {
    tree.release(root);
    current = addSource(std::move(file));
    const int64_t length = sources[current]->identity().size;
    root = length > 0 ? tree.make(Piece{current, 0, length}) : noNode;
    releaseUnusedSources();
}

}  // namespace document
