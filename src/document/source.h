// A file that a document reads from, and the small cache of its blocks for the screen.
#pragma once

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "files/save.h"

namespace document::detail {

using FileIdentity = ::FileIdentity;

// A regular file kept open and read with pread: a file cut short underneath must give an
// error, not a signal (the one mapping, a search's, is guarded for that: file_scan.h). It
// holds known content: the identity is that of the file when it was opened or written, and
// the document reads no more than that size.
class FileSource {
public:
    // Null with error set when the path names no regular file that can be read.
    static std::shared_ptr<FileSource> open(const std::string& path, int& error);
    // A file the save layer wrote and handed over, of the identity it reported; null (error
    // set) when the descriptor is not that file any more.
    static std::shared_ptr<FileSource> adopt(OwnedFile file, const FileIdentity& identity, int& error);
    // A file of the history's own store: written by the document, read only by it.
    static std::shared_ptr<FileSource> store(OwnedFile file, int64_t size);
    ~FileSource();
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    int fd() const { return fd_; }
    const FileIdentity& identity() const { return identity_; }
    bool isStore() const { return store_; }
    // The store file has been written up to size.
    void grow(int64_t size) { identity_.size = size; }
    // The document wrote the file in place itself (keeping its length): its state now.
    void rewritten(const FileIdentity& identity) { identity_ = identity; }
    // Reads count bytes at offset. Where the file has ended or the read fails the bytes
    // are zeros and the result is false.
    bool read(int64_t offset, uint8_t* out, int64_t count) const;

private:
    FileSource(int fd, const FileIdentity& identity, bool store) : fd_(fd), identity_(identity), store_(store) {}
    int fd_;
    FileIdentity identity_;
    bool store_;
};

// The last blocks of file bytes that the screen read: a screen of 400 bytes is one or two
// blocks, and moving around a file rereads the same ones.
class BlockCache {
public:
    static constexpr int64_t blockSize = 64 * 1024;
    static constexpr size_t blockCount = 32;  // 2 MiB

    // The block of source that starts at blockSize·index, read on a miss; ok is false when
    // that read came up short.
    const uint8_t* block(const FileSource& file, uint32_t source, int64_t index, bool& ok);
    void forget(uint32_t source);

private:
    struct Entry {
        uint32_t source = 0xFFFFFFFFu;
        int64_t index = -1;
        uint64_t used = 0;
        std::unique_ptr<uint8_t[]> bytes;
    };
    std::array<Entry, blockCount> entries_;
    uint64_t clock_ = 0;
};

}  // namespace document::detail
