#include "files/file_ranges.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

#include "files/io_calls.h"

namespace {

constexpr int64_t kernelChunk = int64_t{64} << 20;  // a kernel copy between two progress reports
constexpr int64_t bufferSize = int64_t{1} << 20;    // a copy through the buffer, one block

// copy_file_range refuses this pair of files (another file system, a kind it cannot copy).
bool copyNotOffered(int code) {
    return code == EXDEV || code == EINVAL || code == ENOSYS || code == EOPNOTSUPP || code == EBADF;
}

// Copies [from, from + count) of in, data all through, to `to` of out.
int copyData(int in, int64_t from, int out, int64_t to, int64_t count, bool& readSide,
             const std::function<void(int64_t)>& progress) {
    while (count > 0) {
        off_t inAt = from, outAt = to;
        const ssize_t n = io::copyFileRange(in, &inAt, out, &outAt, static_cast<size_t>(std::min(count, kernelChunk)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && copyNotOffered(errno)) break;  // read and write instead
        if (n < 0) return errno;
        if (n == 0) {  // in ended early: cut short underneath
            readSide = true;
            return EIO;
        }
        from += n, to += n, count -= n;
        if (progress) progress(to);
    }
    if (count == 0) return 0;
    const auto buffer =
        std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(std::clamp<int64_t>(count, 0, bufferSize)));
    while (count > 0) {
        const int64_t n = std::min(count, bufferSize);
        if (const int error = f_ReadAt(in, buffer.get(), n, from)) {
            readSide = true;
            return error;
        }
        if (const int error = f_WriteAt(out, buffer.get(), n, to)) return error;
        from += n, to += n, count -= n;
        if (progress) progress(to);
    }
    return 0;
}

}  // namespace

int f_WriteAt(int fd, const void* bytes, int64_t count, int64_t at) {
    for (int64_t written = 0; written < count;) {
        const ssize_t n = io::pwrite(fd, static_cast<const char*>(bytes) + written,
                                     static_cast<size_t>(count - written), at + written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        written += n;
    }
    return 0;
}

int f_ReadAt(int fd, void* out, int64_t count, int64_t at, int64_t* done) {
    int64_t read = 0;
    int error = 0;
    while (read < count) {
        const ssize_t n = ::pread(fd, static_cast<char*>(out) + read, static_cast<size_t>(count - read), at + read);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        read += n;
    }
    if (done) *done = read;
    return error;
}

int64_t f_SeekData(int fd, int64_t offset) {
    const off_t at = ::lseek(fd, offset, SEEK_DATA);
    if (at >= 0) return at;
    return errno == ENXIO ? -1 : offset;
}

int64_t f_SeekHole(int fd, int64_t offset) {
    const off_t at = ::lseek(fd, offset, SEEK_HOLE);
    return at >= offset ? at : INT64_MAX;
}

std::vector<std::pair<int64_t, int64_t>> f_DataRanges(int fd, int64_t from, int64_t end) {
    std::vector<std::pair<int64_t, int64_t>> ranges;
    for (int64_t pos = from; pos < end;) {
        const int64_t data = f_SeekData(fd, pos);
        if (data < 0 || data >= end) break;
        int64_t hole = f_SeekHole(fd, data);
        if (hole <= data || hole > end) hole = end;
        ranges.emplace_back(data, hole);
        pos = hole;
    }
    return ranges;
}

int f_CopyRange(int in, int64_t from, int out, int64_t to, int64_t count, bool* readSide,
                const std::function<void(int64_t)>& progress) {
    bool fromIn = false;
    int error = 0;
    const int64_t end = from + count;
    for (int64_t pos = from; error == 0 && pos < end;) {
        const int64_t data = f_SeekData(in, pos);
        if (data < 0) {
            // Only a hole is left, or the file ended before end: cut short underneath.
            struct stat info {};
            if (::fstat(in, &info) != 0 || info.st_size < end) fromIn = true, error = EIO;
            break;
        }
        if (data >= end) break;
        int64_t hole = f_SeekHole(in, data);
        if (hole <= data || hole > end) hole = end;
        error = copyData(in, data, out, to + (data - from), hole - data, fromIn, progress);
        pos = hole;
    }
    if (readSide) *readSide = fromIn;
    return error;
}
