// A file that a document reads from, and the small cache of its blocks for the screen.
#pragma once

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace document::detail {

// What tells one state of a file from another.
struct FileIdentity {
    int64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t inode = 0;
    uint64_t device = 0;
    bool operator==(const FileIdentity&) const = default;
};

// A regular file kept open and read with pread: a file cut short underneath must give an
// error, not a signal (the one mapping, a search's, is guarded for that: file_scan.h).
class FileSource {
public:
    // Null with error set when the path names no regular file that can be read.
    static std::shared_ptr<FileSource> open(const std::string& path, int& error);
    // The same file again, as it is now (after it was written over in place).
    static std::shared_ptr<FileSource> reopen(const FileSource& file, int& error);
    ~FileSource();
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    int fd() const { return fd_; }
    const FileIdentity& identity() const { return identity_; }
    // Reads count bytes at offset. Where the file has ended or the read fails the bytes
    // are zeros and the result is false.
    bool read(int64_t offset, uint8_t* out, int64_t count) const;

private:
    FileSource(int fd, const FileIdentity& identity) : fd_(fd), identity_(identity) {}
    int fd_;
    FileIdentity identity_;
};

FileIdentity identityOf(const struct stat& info);

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
