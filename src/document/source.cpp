#include "document/source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/file_primitives.h"
#include "files/file_ranges.h"

namespace document::detail {

std::shared_ptr<FileSource> FileSource::open(const std::string& path, int& error) {
    // Only regular files, opened without blocking (a FIFO would wait for a writer).
    OwnedFile file(kt::openRegularFile(path, error));
    if (!file) return nullptr;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::shared_ptr<FileSource>(new FileSource(file.release(), f_IdentityOf(info), false));
}

std::shared_ptr<FileSource> FileSource::adopt(OwnedFile file, const FileIdentity& identity, int& error) {
    struct stat info {};
    if (!file || ::fstat(file.get(), &info) != 0) {
        error = file ? errno : EBADF;
        return nullptr;
    }
    if (!S_ISREG(info.st_mode) || !(f_IdentityOf(info) == identity)) {
        error = EIO;  // written over meanwhile: not the content that was written
        return nullptr;
    }
    error = 0;
    return std::shared_ptr<FileSource>(new FileSource(file.release(), identity, false));
}

std::shared_ptr<FileSource> FileSource::store(OwnedFile file, int64_t size) {
    struct stat info {};
    ::fstat(file.get(), &info);
    FileIdentity identity = f_IdentityOf(info);
    identity.size = size;
    return std::shared_ptr<FileSource>(new FileSource(file.release(), identity, true));
}

FileSource::~FileSource() { ::close(fd_); }

bool FileSource::read(int64_t offset, uint8_t* out, int64_t count) const {
    int64_t done = 0;
    if (f_ReadAt(fd_, out, count, offset, &done) == 0) return true;
    std::memset(out + done, 0, static_cast<size_t>(count - done));
    return false;
}

const uint8_t* BlockCache::block(const FileSource& file, uint32_t source, int64_t index, bool& ok) {
    ok = true;
    Entry* victim = &entries_[0];
    for (Entry& e : entries_) {
        if (e.source == source && e.index == index) {
            e.used = ++clock_;
            return e.bytes.get();
        }
        if (e.used < victim->used) victim = &e;
    }
    if (!victim->bytes) victim->bytes = std::make_unique_for_overwrite<uint8_t[]>(blockSize);
    // Only what the file held when opened is asked for; the rest of a last block is zeros.
    const int64_t offset = index * blockSize;
    const int64_t available = file.identity().size - offset;
    const int64_t count = available < blockSize ? (available > 0 ? available : 0) : blockSize;
    ok = file.read(offset, victim->bytes.get(), count);
    std::memset(victim->bytes.get() + count, 0, static_cast<size_t>(blockSize - count));
    // A block that could not be read whole is handed out once, not kept: the next read tries
    // the file again.
    victim->source = ok ? source : 0xFFFFFFFFu;
    victim->index = ok ? index : -1;
    victim->used = ok ? ++clock_ : 0;
    return victim->bytes.get();
}

void BlockCache::forget(uint32_t source) {
    for (Entry& e : entries_)
        if (e.source == source) {
            e.source = 0xFFFFFFFFu;
            e.index = -1;
            e.used = 0;
        }
}

}  // namespace document::detail
