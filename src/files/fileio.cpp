#include "files/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "app/log.h"
#include "host/host.h"

namespace {

bool writeAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The file a path names after following symbolic links, so that saving through a link
// replaces the file it points to, not the link.
std::string resolveLinks(const std::string& path) {
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        std::string target(static_cast<size_t>(PATH_MAX), '\0');
        ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0) return current;
        target.resize(static_cast<size_t>(n));
        if (!target.empty() && target[0] == '/')
            current = target;
        else
            current = f_PathDirectory(current) + target;
    }
    return current;
}

// Writes in place, truncating first: only for folders that can't take a temporary file.
int writeInPlace(const std::string& path, std::span<const uint8_t> bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    int code = 0;
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) code = errno;
    if (::close(fd) != 0 && code == 0) code = errno;
    return code;
}

int writeReplacing(const std::string& path, std::span<const uint8_t> bytes) {
    const std::string target = resolveLinks(path);
    std::string folder = f_PathDirectory(target);
    // The temporary file is named after the file, cut short so that the name still fits in
    // a folder entry (255 bytes) when the file's own name nearly fills one.
    std::string name = f_PathName(target);
    if (name.size() > 200) name.resize(200);
    std::string temporary = (folder.empty() ? std::string("./") : folder) + "." + name + ".ostrakonix-XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        int code = errno;
        // A folder we may not create files in, holding a file we may write: write in place.
        if ((code == EACCES || code == EROFS || code == EPERM) && ::access(target.c_str(), W_OK) == 0)
            return writeInPlace(target, bytes);
        return code;
    }
    struct stat old {};
    bool existed = ::stat(target.c_str(), &old) == 0;
    int code = 0;
    if (existed) {
        if (S_ISDIR(old.st_mode)) code = EISDIR;
        // Keep the permission bits and, where we may, the owner of the file replaced.
        else if (::fchmod(fd, old.st_mode & 07777) != 0) code = errno;
        else if (::fchown(fd, old.st_uid, old.st_gid) != 0) { /* not ours to give away */ }
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0666 & ~mask) != 0) code = errno;
    }
    if (code == 0 && !writeAll(fd, bytes)) code = errno;
    if (code == 0 && ::fsync(fd) != 0) code = errno;
    if (::close(fd) != 0 && code == 0) code = errno;
    if (code == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) code = errno;
    if (code != 0) {
        ::unlink(temporary.c_str());
        return code;
    }
    // Make the rename itself durable.
    int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

}  // namespace

int64_t setbinarytofile(const std::string& path, std::span<const uint8_t> bytes) {
    int code = path.empty() ? ENOENT : writeReplacing(path, bytes);
    if (code != 0) kt::logLine("setbinarytofile: Error #" + kt::fileErrorDescription(code, "written", path));
    return code;
}

std::string f_HomeFolder() {
    std::string downloads = host::host().standardFolder(host::Folder::Downloads);
    if (downloads.empty()) return {};
    // The parent of the downloads folder, with its trailing "/".
    while (downloads.size() > 1 && downloads.back() == '/') downloads.pop_back();
    return f_PathDirectory(downloads);
}
