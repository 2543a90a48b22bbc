// A file opened for editing: the bytes of the file on disk, read on demand, plus the bytes
// added by edits, arranged by a sequence of pieces. Edits, undo and redo change only the
// pieces; the file itself is read when its bytes are asked for and written when saved.
// Every position is a signed 64-bit byte index. A document is used by one thread at a time.
//
// The contract, which checkInvariants() checks:
// - It reads only from files whose identity (device, inode, size, time) it knows to hold the
//   bytes it means: the file it was opened from, the file a save reported writing (or the
//   kept copy of the new content after a save that failed halfway), and the files of its own
//   store. Nothing else rebinds it; it never takes a descriptor by guess.
// - Each piece of the content and of the history is in the content or in exactly one step of
//   the history, and lies within its source; the reference counts equal the pieces; each
//   file source is referred to by a piece or is the current file, which is open and known.
// - After a save it holds no descriptor of a file the save replaced or wrote over: the bytes
//   its history still needs from such files are kept in its own store (in memory up to a
//   bound, beyond it in an unnamed file in the cache folder, gone when it closes).
// - A save that fails leaves it reading its own content and modified.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

struct SaveOutcome;

namespace document {

// Told how far a long run (search, change all, write) has come: bytes done of bytes total.
using Progress = std::function<void(int64_t done, int64_t total)>;

struct ChangeAllResult {
    int64_t changes = 0;      // how many occurrences were changed
    int64_t lastChange = -1;  // where the last change starts, −1 when none was made
    // More occurrences than mostChanges: nothing was changed. Each change costs pieces in
    // memory, and a pattern of zeros over the holes of a disk image occurs billions of times.
    bool tooMany = false;
    static constexpr int64_t mostChanges = int64_t{1} << 22;
};

class Document {
public:
    // An empty document bound to no file (a new buffer).
    Document();
    ~Document();
    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Opens a regular file for editing; nothing but its size, time and identity is read.
    // On failure the result is null and error holds an errno value: the open's own error,
    // EISDIR for a folder, ENOTSUP for anything else that is no regular file (device, FIFO,
    // socket). Never blocks on a FIFO.
    static std::unique_ptr<Document> open(const std::string& path, int& error);

    // The file this document was opened from or last saved to; empty when none.
    const std::string& path() const;
    int64_t size() const;
    // The byte at pos (0 ≤ pos < size()); 0 for a position outside.
    uint8_t byteAt(int64_t pos);
    // Copies up to length bytes from pos into out; returns how many (fewer at the end).
    int64_t read(int64_t pos, int64_t length, uint8_t* out);

    // Edits. Each returns false and changes nothing when its range lies outside the
    // document. cursor is where undo puts the cursor back; without it, the edit's position.
    // An edit outside beginStep/endStep is one undo step of its own.
    bool overwrite(int64_t pos, uint8_t byte, std::optional<int64_t> cursor = {});
    bool insert(int64_t pos, std::span<const uint8_t> bytes, std::optional<int64_t> cursor = {});
    bool erase(int64_t pos, int64_t count, std::optional<int64_t> cursor = {});
    bool replace(int64_t pos, int64_t count, std::span<const uint8_t> bytes, std::optional<int64_t> cursor = {});

    // Groups the edits until endStep into one undo step; cursor as for the edits. Undo,
    // redo, writeTo and a save end an open step.
    void beginStep(std::optional<int64_t> cursor = {});
    void endStep();
    // Takes back or makes again the last step; the position for the cursor, or nothing
    // when there is nothing to undo or redo. A new edit after an undo drops the redo list.
    std::optional<int64_t> undo();
    std::optional<int64_t> redo();
    bool canUndo() const;
    bool canRedo() const;
    // False exactly when the content is that of the last save or open, as far as the
    // history tells (an undo back to the saved state gives false again).
    bool isModified() const;

    // The first position ≥ from where pattern occurs, or −1. findFolded compares the folded
    // bytes with a pattern already turned to capitals (search::capitals).
    int64_t findExact(std::span<const uint8_t> pattern, int64_t from, const Progress& progress = {});
    int64_t findFolded(std::span<const uint8_t> foldedPattern, int64_t from, const Progress& progress = {});

    // Changes pattern into replacement at first, then at every further occurrence found
    // after the last byte written, as one undo step. In overwrite mode (insertMode false)
    // both must be of one length. The change at first is made without looking at the bytes
    // there (the caller found the pattern there); nothing is changed when the pattern's
    // length does not fit at first or the lengths differ in overwrite mode.
    ChangeAllResult changeAll(int64_t first, std::span<const uint8_t> pattern, std::span<const uint8_t> replacement,
                              bool insertMode, std::optional<int64_t> cursor = {}, const Progress& progress = {});

    // --- Ranges of bytes ---
    // Writes pattern over the count bytes from pos, repeated from pos on and cut off at the
    // end, as one undo step. However large the range, the pattern is stored once, in a block
    // that all the range's pieces share: a fill of a gigabyte takes about a thousand pieces.
    bool fill(int64_t pos, int64_t count, std::span<const uint8_t> pattern, std::optional<int64_t> cursor = {});

    // Writes the whole content to fd (a regular file opened for writing, emptied first):
    // file ranges are copied by the kernel, holes of the file stay holes. 0 or an errno;
    // EIO when a file turned out shorter than when it was opened, or a read of it failed.
    int writeTo(int fd, const Progress& progress = {});
    // Marks the current state as saved without changing where the document reads from.
    void markSaved();

    // True when the file at path() is not the one this document last opened or wrote (size,
    // time, inode, device), or one of the files it reads from has been cut short since.
    bool changedOnDisk() const;

    // --- The engine's house: what it reads and the checks of its invariants ---
    // True when a read of a file came up short or failed since the document was opened or
    // last saved: the bytes shown there were zeros, not the file's.
    bool readFailed() const;
    // Counts the changes of the content (each edit, undo and redo): while the count stays,
    // the content has not changed.
    uint64_t changes() const;
    // Empty when the invariants of the contract above hold, else the first that does not.
    std::string checkInvariants() const;
    // For tests: how many bytes of replaced files the history keeps in memory before it
    // turns to a file.
    static void setStoreMemoryLimit(int64_t bytes);

    // --- Changed bytes ---------------------------------------------------------------
    // Marks each byte of [pos, pos + length) in marks: 1 where the document does not read it
    // from the file it was last opened from or saved to (bytes typed, pasted or inserted, and
    // bytes an undo brought back from an older version of the file), else 0. Returns how many
    // bytes were marked (fewer at the end, 0 outside the document).
    int64_t changedBytes(int64_t pos, int64_t length, uint8_t* marks) const;

    struct State;
    friend int saveDocument(Document&, const std::string&, const Progress&, ::SaveOutcome*);

private:
    explicit Document(std::unique_ptr<State> state);
    std::unique_ptr<State> s_;
};

}  // namespace document
