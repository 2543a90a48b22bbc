// What a document holds, shared by its source files (edits and history, search, writing).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/document.h"
#include "document/pieces.h"
#include "document/source.h"

namespace document {

struct Document::State {
    detail::PieceTree tree;
    detail::Node root = detail::noNode;
    // Bytes typed or pasted, appended only: pieces and the history refer into it. The history's
    // store keeps the bytes it needs of let-go files here too, storedInMemory of them.
    std::vector<uint8_t> added;
    int64_t storedInMemory = 0;
    // The files read from, by source number; a file is closed once no piece, in the content
    // or in the history, refers to it.
    std::vector<std::shared_ptr<detail::FileSource>> sources;
    uint32_t storeFile = detail::addedSource;  // the history's store beyond memory, if any
    // The file that holds the content as last opened or saved (or its kept copy after a save
    // that failed halfway), if any; kept open also while no piece refers to it.
    uint32_t current = detail::addedSource;
    std::string path;
    detail::FileIdentity identity;  // of the file at path, as last opened or written by us
    bool readFailed = false;        // a read came up short since the last open or save
    uint64_t changes = 0;
    detail::BlockCache cache;

    // One change of the piece sequence: at position, a run of inserted bytes stands where
    // the pieces of removed stood. Undoing it swaps the two, so the same record redoes it.
    struct Record {
        int64_t position;
        int64_t inserted;
        detail::Node removed;
    };
    struct Step {
        std::vector<Record> records;
        int64_t cursor;
        uint64_t id;  // names the state after this step
    };
    std::vector<Step> undo, redo;
    bool stepOpen = false;     // between beginStep and endStep
    bool stepStarted = false;  // the open step has its entry in undo
    std::optional<int64_t> stepCursor;
    uint64_t nextId = 1;
    uint64_t savedId = 0;  // the state last opened or saved; 0 is the state at open

    ~State();
    int64_t size() const { return tree.length(root); }
    uint64_t currentId() const { return undo.empty() ? 0 : undo.back().id; }

    // Puts the inserted pieces where count bytes from pos stood, as part of the current step.
    void apply(int64_t pos, int64_t count, detail::Node inserted, std::optional<int64_t> cursor);
    void swap(Record& record);
    void dropRedo();
    void dropHistory();
    void releaseUnusedSources();
    uint32_t addSource(std::shared_ptr<detail::FileSource> file);
    // A piece over bytes appended to the added store.
    detail::Piece appendAdded(std::span<const uint8_t> bytes);
    // Copies count bytes of piece from first on into out; small reads go through the cache.
    void copyPiece(const detail::Piece& piece, int64_t first, int64_t count, uint8_t* out);
    // Copies [from, from + count) of the content into out.
    void gather(int64_t from, int64_t count, uint8_t* out);

    // Ranges of file sources, sorted and apart, by source number.
    using Ranges = std::map<uint32_t, std::vector<std::pair<int64_t, int64_t>>>;
    // Moves the bytes that history pieces take from these ranges into the history's own
    // store, so that no piece of the history refers to them any more. 0 or an errno, with
    // nothing changed.
    int storeHistory(const Ranges& ranges);
    // Every file source but the store's, whole.
    Ranges allFiles() const;
    // The content becomes the one file (of the content's size), read from now on.
    void rebind(std::shared_ptr<detail::FileSource> file);
};

}  // namespace document
