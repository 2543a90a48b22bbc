#include "files/save.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "app/file_primitives.h"
#include "app/log.h"
#include "files/io_calls.h"
#include "files/journal.h"
#include "files/save_internal.h"

namespace {

constexpr const char* aclAttribute = "system.posix_acl_access";

bool allOf(std::string_view text, bool digitsOnly) {
    return std::all_of(text.begin(), text.end(), [digitsOnly](char c) {
        return (c >= '0' && c <= '9') || (!digitsOnly && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')));
    });
}

}  // namespace

namespace save_detail {

// The file a path names after following symbolic links, so that saving through a link
// writes the file it points to, not the link.
std::string resolveLinks(const std::string& path) {
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        std::string target(static_cast<size_t>(PATH_MAX), '\0');
        ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0) return current;
        target.resize(static_cast<size_t>(n));
        current = !target.empty() && target[0] == '/' ? target : f_PathDirectory(current) + target;
    }
    return current;
}

// Temporary files are named ".<name>.ostrakonix-<pid>-XXXXXX": the name cut (at a character's
// start) so that the whole still fits in a folder entry of 255 bytes, and the process id, so
// that a later save can tell a leftover of an ended process from a save still going on.
std::string temporaryStem(std::string name) {
    if (name.size() > 200) {
        size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return "." + name + ".ostrakonix-";
}

// Removes the temporary files of this file's earlier saves whose process has ended: only
// regular files of ours whose names match the stem, a process id and six characters.
void removeStaleTemporaries(const std::string& folder, const std::string& stem) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (!name.starts_with(stem)) continue;
        const std::string_view rest = name.substr(stem.size());
        const size_t dash = rest.find('-');
        if (dash == 0 || dash > 9 || rest.size() != dash + 7 || rest[0] == '0') continue;
        if (!allOf(rest.substr(0, dash), true) || !allOf(rest.substr(dash + 1), false)) continue;
        const auto pid = static_cast<pid_t>(std::atoi(std::string(rest.substr(0, dash)).c_str()));
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid())
            continue;
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

int createTemporary(const std::string& folder, const std::string& stem, std::string& path) {
    path = folder + stem + std::to_string(::getpid()) + "-XXXXXX";
    return io::mkostemp(path.data(), O_CLOEXEC);
}

// A folder of our own for the new content when the file's folder takes no new file:
// $XDG_CACHE_HOME/ostrakonix or ~/.cache/ostrakonix (0700), else $TMPDIR or /var/tmp.
std::string privateFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    std::string base = cache && *cache == '/' ? cache : home && *home == '/' ? std::string(home) + "/.cache" : "";
    if (!base.empty()) {
        const std::string folder = base + "/ostrakonix";
        ::mkdir(base.c_str(), 0700);
        ::mkdir(folder.c_str(), 0700);
        struct stat info {};
        if (::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
            ((info.st_mode & 077) == 0 || ::chmod(folder.c_str(), 0700) == 0))
            return folder + "/";
    }
    const char* tmp = std::getenv("TMPDIR");
    for (const char* folder : {tmp, "/var/tmp"})
        if (folder && *folder == '/' && ::access(folder, W_OK | X_OK) == 0) return std::string(folder) + "/";
    return {};
}

std::string folderOf(const std::string& path) { return f_PathDirectory(path).empty() ? "./" : f_PathDirectory(path); }

int syncFolder(const std::string& folder) {
    const int dir = io::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return errno;
    const int code = io::fsync(dir) == 0 ? 0 : errno;
    ::close(dir);
    return code;
}

}  // namespace save_detail

namespace {

// The names of the file's extended attributes; false when they cannot be listed (a file
// system without them has none: true and empty).
bool attributeNames(const std::string& path, std::vector<std::string>& names) {
    std::vector<char> list;
    for (;;) {
        ssize_t size = ::listxattr(path.c_str(), nullptr, 0);
        if (size < 0) return errno == ENOTSUP;
        list.resize(static_cast<size_t>(size));
        size = ::listxattr(path.c_str(), list.data(), list.size());
        if (size >= 0) {
            list.resize(static_cast<size_t>(size));
            break;
        }
        if (errno != ERANGE) return false;  // ERANGE: the list grew meanwhile
    }
    // The names follow each other, each ended by a zero byte.
    for (size_t at = 0; at < list.size(); at += names.back().size() + 1) names.emplace_back(list.data() + at);
    return true;
}

// Gives the new file the extended attributes (ACLs among them) of the old; false when one
// could not be copied, or an ACL the new file took from its folder could not be removed.
bool copyAttributes(const std::string& path, int fd) {
    std::vector<std::string> names;
    if (!attributeNames(path, names)) return false;
    std::vector<char> value;
    for (const auto& name : names) {
        ssize_t size = ::getxattr(path.c_str(), name.c_str(), nullptr, 0);
        if (size < 0) return false;
        value.resize(static_cast<size_t>(size));
        size = ::getxattr(path.c_str(), name.c_str(), value.data(), value.size());
        if (size < 0 || ::fsetxattr(fd, name.c_str(), value.data(), static_cast<size_t>(size), 0) != 0) return false;
    }
    if (std::find(names.begin(), names.end(), aclAttribute) == names.end() &&
        ::fgetxattr(fd, aclAttribute, nullptr, 0) >= 0)
        return ::fremovexattr(fd, aclAttribute) == 0;
    return true;
}

// Prepares the new file (fd) to replace the old one and says whether a rename would
// change what the user has, so that the file must be written over in place instead. The
// mode is set once the content is written (writing clears the set-ID bits).
bool renameWouldChange(const std::string& target, const std::string& folder, const struct stat& old, int fd) {
    if (old.st_nlink > 1) return true;  // the other names would keep the old content
    const uid_t me = ::geteuid();
    struct stat dir {};
    // A sticky folder lets only the owners of the file or the folder replace the file.
    if (me != 0 && old.st_uid != me &&
        (::stat(folder.c_str(), &dir) != 0 || ((dir.st_mode & S_ISVTX) && dir.st_uid != me)))
        return true;
    return ::fchown(fd, old.st_uid, old.st_gid) != 0 || !copyAttributes(target, fd);
}

// Gives the written new file the mode; false when it does not take all of it (a set-ID bit
// only the owner may set, set after a change of owner).
bool applyMode(int fd, mode_t mode) {
    struct stat now {};
    return ::fchmod(fd, mode & 07777) == 0 && ::fstat(fd, &now) == 0 && (now.st_mode & 07777) == (mode & 07777);
}

// What a new file gets: read and write for all, less the umask.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

FileIdentity f_IdentityOf(const struct stat& info) {
    return FileIdentity{static_cast<int64_t>(info.st_size),
                        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                        static_cast<uint64_t>(info.st_ino), static_cast<uint64_t>(info.st_dev)};
}

OwnedFile& OwnedFile::operator=(OwnedFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

OwnedFile::~OwnedFile() {
    if (fd_ >= 0) ::close(fd_);
}

int OwnedFile::release() { return std::exchange(fd_, -1); }

using namespace save_detail;

int f_ScratchFile() {
    const std::string folder = privateFolder();
    if (folder.empty()) return -1;
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
    // A file system without unnamed files: a named one, its name removed at once.
    std::string path = folder + ".scratch.ostrakonix-XXXXXX";
    fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(path.c_str());
    return fd;
}

int f_SaveFile(const std::string& path, const std::function<int(int fd)>& writeContent, SaveOutcome& outcome,
               const std::function<void(const FileIdentity&)>& beforeWriteOver) {
    outcome = {};
    if (path.empty()) return ENOENT;
    const std::string target = resolveLinks(path);
    const std::string folder = folderOf(target);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists) {
        // Never more than writing the file directly could do. A running program's file
        // (ETXTBSY) is no question of rights: it is replaced by rename like any other.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ETXTBSY) return errno;
        if (!S_ISREG(old.st_mode)) return S_ISDIR(old.st_mode) ? EISDIR : ENOTSUP;
    }
    const std::string stem = temporaryStem(f_PathName(target));
    removeStaleTemporaries(folder, stem);
    std::string temporary;
    int fd = createTemporary(folder, stem, temporary);
    bool inPlace = exists;
    if (fd < 0) {
        // A folder that takes no new file, holding a file we may write: the new content
        // waits in a folder of our own while it is written over the file.
        const int code = errno;
        const std::string own = exists && (code == EACCES || code == EPERM || code == EROFS) ? privateFolder() : "";
        if (own.empty()) return code;
        removeStaleTemporaries(own, stem);
        if ((fd = createTemporary(own, stem, temporary)) < 0) return errno;
    } else if (exists) {
        inPlace = renameWouldChange(target, folder, old, fd);
    }

    int code = 0;
    try {
        code = writeContent(fd);
    } catch (const std::bad_alloc&) {
        code = ENOMEM;  // a writer that runs out of memory fails the save, it does not end the program
    }
    if (code == 0 && !inPlace) inPlace = !applyMode(fd, exists ? old.st_mode : newFileMode()) && exists;
    struct stat written {};
    if (code == 0 && (io::fsync(fd) != 0 || ::fstat(fd, &written) != 0)) code = errno;
    if (code != 0) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return code;
    }
    if (!inPlace) {
        if (io::rename(temporary.c_str(), target.c_str()) == 0) {
            syncFolder(folder);  // makes the rename itself durable
            if (exists) f_DropJournals(target, f_IdentityOf(old));
            outcome.content = OwnedFile(fd);
            outcome.contentIdentity = f_IdentityOf(written);
            outcome.contentIsTarget = true;
            outcome.written = outcome.contentIdentity;
            return 0;
        }
        code = errno;
        // The folder would not let the file be replaced after all (a sticky folder that
        // judges differently, a file mounted over): write it in place.
        if (!exists || (code != EPERM && code != EACCES && code != EBUSY)) {
            ::close(fd);
            ::unlink(temporary.c_str());
            return code;
        }
    }
    return writeOver(target, temporary, fd, outcome, beforeWriteOver);
}
