// Writing the new content over the old file in place, for files a rename would change: the
// changed ranges copied, the holes of the new content made holes, the mode bits put back.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "app/file_primitives.h"
#include "app/log.h"
#include "files/file_ranges.h"
#include "files/io_calls.h"
#include "files/journal.h"
#include "files/save_internal.h"

namespace save_detail {
namespace {

using Ranges = std::vector<std::pair<int64_t, int64_t>>;

// Makes [at, end) of the file zeros that take no room: a hole punched, or, where the file
// system has none, zeros written over its data there.
int clearRange(int fd, off_t at, off_t end) {
    if (at >= end) return 0;
    if (io::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, at, end - at) == 0) return 0;
    if (errno != EOPNOTSUPP) return errno;
    const std::vector<char> zeros(size_t{1} << 20);
    for (const auto& [from, to] : f_DataRanges(fd, at, end))
        for (int64_t pos = from; pos < to; pos += static_cast<int64_t>(zeros.size()))
            if (const int code = f_WriteAt(fd, zeros.data(), std::min<int64_t>(to - pos, zeros.size()), pos))
                return code;
    return 0;
}

// Takes the room the new content's data needs before the file is touched, so that a full
// disk stops the save while the file is still whole. Room taken is given back on failure.
int reserve(int fd, const Ranges& ranges, off_t oldSize) {
    for (const auto& [at, end] : ranges) {
        if (io::fallocate(fd, FALLOC_FL_KEEP_SIZE, at, end - at) == 0) continue;
        if (errno == EOPNOTSUPP) return 0;  // a file system that cannot: the copy finds out
        const int code = errno;
        if (::ftruncate(fd, oldSize) != 0) {
            // it would only give back what was taken past the end
        }
        return code;
    }
    return 0;
}

// The new content's data copied, its holes punched, the file cut to its length.
int copyOver(int out, int from, const Ranges& ranges, off_t size, off_t oldSize) {
    off_t at = 0;
    for (const auto& [data, hole] : ranges) {
        if (const int code = clearRange(out, at, std::min(data, oldSize))) return code;
        if (const int code = f_CopyRange(from, data, out, data, hole - data)) return code;
        at = hole;
    }
    if (const int code = clearRange(out, at, std::min(size, oldSize))) return code;
    return io::ftruncate(out, size) != 0 ? errno : 0;
}

// "NAME.ostrakonix-rescue-XXXXXX" for ".NAME.ostrakonix-PID-XXXXXX": visible, and of no
// shape that the removal of leftovers takes.
std::string rescueName(const std::string& temporary) {
    const std::string name = f_PathName(temporary);
    const size_t mark = name.rfind(".ostrakonix-");
    return f_PathDirectory(temporary) + name.substr(1, mark - 1) + ".ostrakonix-rescue-" + name.substr(name.size() - 6);
}

// The file at target opened for reading, when it is still the one written (identity);
// −1 otherwise.
int readBack(const std::string& target, const FileIdentity& identity) {
    OwnedFile back(io::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info {};
    if (!back || ::fstat(back.get(), &info) != 0 || !S_ISREG(info.st_mode) || !(f_IdentityOf(info) == identity))
        return -1;
    return back.release();
}

FileIdentity identityOf(int fd) {
    struct stat info {};
    ::fstat(fd, &info);
    return f_IdentityOf(info);
}

}  // namespace

void restoreMode(int fd, mode_t mode, const std::string& target) {
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_mode & 07777) != (mode & 07777) &&
        (::fchmod(fd, mode & 07777) != 0 || ::fstat(fd, &now) != 0 || (now.st_mode & 07777) != (mode & 07777)))
        kt::logLine("f_SaveFile: The file “" + target + "” lost mode bits that only its owner can set again.");
}

int writeOver(const std::string& target, const std::string& temporary, int fd, SaveOutcome& outcome,
              const std::function<void(const FileIdentity&)>& beforeWriteOver) {
    OwnedFile from(fd);
    outcome.inPlace = true;
    struct stat before {};
    struct stat newContent {};
    // Without blocking, should the file have been swapped for a pipe meanwhile.
    OwnedFile out(io::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    int code = 0;
    if (!out || ::fstat(out.get(), &before) != 0 || ::fstat(from.get(), &newContent) != 0)
        code = errno;
    else if (!S_ISREG(before.st_mode))
        code = ENOTSUP;
    else if (::fcntl(out.get(), F_SETFL, ::fcntl(out.get(), F_GETFL) & ~O_NONBLOCK) != 0)
        code = errno;
    const Ranges ranges = code == 0 ? f_DataRanges(from.get(), 0, newContent.st_size) : Ranges{};
    if (code == 0) code = reserve(out.get(), ranges, before.st_size);
    // The new content under a lasting name before the file is touched.
    const std::string rescue = rescueName(temporary);
    if (code == 0 && ::access(rescue.c_str(), F_OK) == 0) code = EEXIST;
    if (code == 0 && io::rename(temporary.c_str(), rescue.c_str()) != 0) code = errno;
    if (code != 0) {
        if (out) outcome.written = identityOf(out.get());  // the room given back changed its time
        ::unlink(temporary.c_str());
        return code;
    }
    syncFolder(f_PathDirectory(rescue));
    kt::logLine("f_SaveFile: The file “" + target + "” is written in place; its new content is in “" + rescue +
                "” until then.");
    if (beforeWriteOver) beforeWriteOver(f_IdentityOf(before));
    f_DropJournals(target, f_IdentityOf(before));

    code = copyOver(out.get(), from.get(), ranges, newContent.st_size, before.st_size);
    if (code == 0) restoreMode(out.get(), before.st_mode, target);
    if (code == 0 && io::fsync(out.get()) != 0) code = errno;
    outcome.written = identityOf(out.get());
    if (::close(out.release()) != 0 && code == 0) code = errno;
    if (code != 0) {
        kt::logLine("f_SaveFile: Error #" + kt::fileErrorDescription(code, "written in place", target) +
                    " Its new content is kept in “" + rescue + "”.");
        outcome.keptAt = rescue;
        outcome.contentIdentity = identityOf(from.get());
        outcome.content = std::move(from);
        return code;
    }
    if (const int back = readBack(target, *outcome.written); back >= 0) {
        outcome.content = OwnedFile(back);
        outcome.contentIdentity = *outcome.written;
        outcome.contentIsTarget = true;
    } else {
        kt::logLine("f_SaveFile: The file “" + target + "” was written but cannot be read back.");
        outcome.contentIdentity = identityOf(from.get());
        outcome.content = std::move(from);
    }
    ::unlink(rescue.c_str());
    return 0;
}

}  // namespace save_detail
