// Writing a document's content to a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "document/state.h"
#include "files/io_calls.h"

namespace document {

using detail::FileSource;
using detail::Piece;

namespace {

constexpr int64_t copyChunk = 64 << 20;   // a kernel copy between two progress reports
constexpr int64_t bufferSize = 1 << 20;   // the bounded buffer for small pieces and for copies
constexpr int64_t smallPiece = 64 << 10;  // pieces below this are gathered into the buffer

int writeAll(int fd, const uint8_t* bytes, int64_t count, int64_t at) {
    while (count > 0) {
        const ssize_t n = io::pwrite(fd, bytes, static_cast<size_t>(std::min<int64_t>(count, 1 << 30)), at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        bytes += n;
        at += n;
        count -= n;
    }
    return 0;
}

class Writer {
public:
    Writer(int out, int64_t total, const Progress& progress) : out_(out), total_(total), progress_(progress) {}

    // Room for count bytes of a small piece in the pending buffer; the many small pieces of
    // an edited file go out in large writes.
    uint8_t* pending(int64_t count, int& error) {
        if (pendingCount_ + count > bufferSize) error = flush();
        if (!pending_) pending_ = std::make_unique_for_overwrite<uint8_t[]>(bufferSize);
        if (pendingCount_ == 0) pendingAt_ = at_;
        uint8_t* room = pending_.get() + pendingCount_;
        pendingCount_ += count;
        at_ += count;
        return room;
    }
    int flush() {
        const int error = writeAll(out_, pending_.get(), pendingCount_, pendingAt_);
        pendingCount_ = 0;
        report(at_);
        return error;
    }

    int added(const uint8_t* bytes, int64_t count) {
        const int error = writeAll(out_, bytes, count, at_);
        at_ += count;
        report(at_);
        return error;
    }

    // Copies a range of a file, leaving out its holes: the output was emptied and is sized
    // at the end, so what is not written reads as zeros and takes no space.
    int file(const FileSource& source, int64_t offset, int64_t count) {
        const int64_t end = offset + count;
        int64_t pos = offset;
        while (pos < end) {
            off_t data = ::lseek(source.fd(), pos, SEEK_DATA);
            if (data < 0 && errno == ENXIO) break;  // only a hole is left
            if (data < 0) data = pos;               // no hole information: all data
            if (data >= end) break;
            off_t hole = ::lseek(source.fd(), data, SEEK_HOLE);
            if (hole <= data || hole > end) hole = end;
            if (const int error = copy(source, data, hole - data, at_ + (data - offset))) return error;
            pos = hole;
        }
        at_ += count;
        report(at_);
        return 0;
    }

private:
    int copy(const FileSource& source, int64_t offset, int64_t count, int64_t to) {
        while (count > 0 && kernelCopies_) {
            off_t in = offset, out = to;
            const ssize_t n =
                io::copyFileRange(source.fd(), &in, out_, &out, static_cast<size_t>(std::min(count, copyChunk)));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 &&
                (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF)) {
                kernelCopies_ = false;  // this pair of files is copied through the buffer
                break;
            }
            if (n < 0) return errno;
            if (n == 0) return EIO;  // the file ended early: it was cut short underneath
            offset += n;
            to += n;
            count -= n;
            report(to);
        }
        if (count > 0 && !buffer_) buffer_ = std::make_unique_for_overwrite<uint8_t[]>(bufferSize);
        while (count > 0) {
            const int64_t n = std::min(count, bufferSize);
            if (!source.read(offset, buffer_.get(), n)) return EIO;
            if (const int error = writeAll(out_, buffer_.get(), n, to)) return error;
            offset += n;
            to += n;
            count -= n;
            report(to);
        }
        return 0;
    }

    void report(int64_t done) {
        if (progress_) progress_(done, total_);
    }

    int out_;
    int64_t total_;
    const Progress& progress_;
    int64_t at_ = 0;
    std::unique_ptr<uint8_t[]> pending_;
    int64_t pendingAt_ = 0, pendingCount_ = 0;
    bool kernelCopies_ = true;
    std::unique_ptr<uint8_t[]> buffer_;
};

}  // namespace

int Document::writeTo(int fd, const Progress& progress) {
    endStep();
    if (io::ftruncate(fd, 0) != 0) return errno;
    Writer writer(fd, size(), progress);
    int error = 0;
    const bool failedBefore = s_->readFailed;
    s_->readFailed = false;
    std::vector<bool> checked(s_->sources.size());
    s_->tree.forEach(s_->root, 0, size(), [&](const Piece& piece, int64_t first, int64_t count) {
        if (error != 0) return;
        if (piece.source != detail::addedSource && !checked[piece.source]) {
            // A file cut short since it was opened no longer holds the bytes the pieces mean
            // (where it was cut, its holes would read as zeros).
            checked[piece.source] = true;
            struct stat info {};
            const FileSource& file = *s_->sources[piece.source];
            if (::fstat(file.fd(), &info) != 0 || info.st_size < file.identity().size) {
                error = EIO;
                return;
            }
        }
        if (count < smallPiece) {
            uint8_t* room = writer.pending(count, error);
            s_->copyPiece(piece, first, count, room);
        } else if ((error = writer.flush()) != 0) {
        } else if (piece.source == detail::addedSource) {
            error = writer.added(s_->added.data() + piece.offset + first, count);
        } else {
            error = writer.file(*s_->sources[piece.source], piece.offset + first, count);
        }
    });
    if (error == 0) error = writer.flush();
    if (s_->readFailed && error == 0) error = EIO;  // zeros stood in for bytes that could not be read
    s_->readFailed = s_->readFailed || failedBefore;
    if (error == 0 && io::ftruncate(fd, size()) != 0) error = errno;
    return error;
}

}  // namespace document
