// Writing a document's content to a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "document/state.h"
#include "files/file_ranges.h"
#include "files/io_calls.h"

namespace document {

using detail::FileSource;
using detail::Piece;

namespace {

constexpr int64_t bufferSize = 1 << 20;   // the bounded buffer for small pieces
constexpr int64_t smallPiece = 64 << 10;  // pieces below this are gathered into the buffer

class Writer {
public:
    // readFailed is set when a file the content is copied from could not be read (not when
    // the output could not be written).
    Writer(int out, int64_t total, const Progress& progress, bool& readFailed)
        : out_(out), total_(total), progress_(progress), readFailed_(readFailed) {}

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
        const int error = f_WriteAt(out_, pending_.get(), pendingCount_, pendingAt_);
        pendingCount_ = 0;
        report(at_);
        return error;
    }

    int added(const uint8_t* bytes, int64_t count) {
        const int error = f_WriteAt(out_, bytes, count, at_);
        at_ += count;
        report(at_);
        return error;
    }

    // Copies a range of a file, leaving out its holes: the output was emptied and is sized
    // at the end, so what is not written reads as zeros and takes no space.
    int file(const FileSource& source, int64_t offset, int64_t count) {
        bool readSide = false;
        const int error =
            f_CopyRange(source.fd(), offset, out_, at_, count, &readSide, [this](int64_t done) { report(done); });
        if (readSide) readFailed_ = true;
        at_ += count;
        report(at_);
        return error;
    }

private:
    void report(int64_t done) {
        if (progress_) progress_(done, total_);
    }

    int out_;
    int64_t total_;
    const Progress& progress_;
    bool& readFailed_;
    int64_t at_ = 0;
    std::unique_ptr<uint8_t[]> pending_;
    int64_t pendingAt_ = 0, pendingCount_ = 0;
};

}  // namespace

int Document::writeTo(int fd, const Progress& progress) {
    endStep();
    if (io::ftruncate(fd, 0) != 0) return errno;
    const bool failedBefore = s_->readFailed;
    s_->readFailed = false;
    Writer writer(fd, size(), progress, s_->readFailed);
    int error = 0;
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
