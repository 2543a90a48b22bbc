// Saving a file so that the user's file keeps what it is: its rights, owner, group, mode,
// links, attributes and holes, and so that a kill or a full disk never leaves it half written
// without a whole copy of the new content beside it under a name no clean-up removes.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What tells one state of a file from another.
struct FileIdentity {
    int64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t inode = 0;
    uint64_t device = 0;
    bool operator==(const FileIdentity&) const = default;
    bool sameFile(const FileIdentity& other) const { return inode == other.inode && device == other.device; }
};

FileIdentity f_IdentityOf(const struct stat& info);

// A descriptor that is closed when its owner lets it go.
class OwnedFile {
public:
    OwnedFile() = default;
    explicit OwnedFile(int fd) : fd_(fd) {}
    OwnedFile(OwnedFile&& other) noexcept : fd_(other.release()) {}
    OwnedFile& operator=(OwnedFile&& other) noexcept;
    ~OwnedFile();
    int get() const { return fd_; }
    int release();
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

struct SaveOutcome {
    // True when the file was written over in place (a file with other links, in a sticky
    // folder, of another owner or group, or with attributes or mode bits a new file could not
    // carry); false when a new file replaced it by rename.
    bool inPlace = false;
    // A file holding exactly the new content, open for reading, and its identity: the saved
    // file itself when it could be read back (contentIsTarget), else the new content's own
    // copy. Not open when the save failed before the file at the path was touched.
    OwnedFile content;
    FileIdentity contentIdentity;
    bool contentIsTarget = false;
    // The identity of the file at the path once this save changed it (also after a write in
    // place that failed, so that the caller does not take its own write for another's).
    std::optional<FileIdentity> written;
    // Where the whole new content was kept when writing it over the file failed halfway (a
    // name no clean-up removes); empty otherwise.
    std::string keptAt;
};

// Saves the file at path (symbolic links followed): writeContent writes the complete new
// content into a fresh, empty descriptor (write, pwrite, ftruncate, copy_file_range) and
// returns 0 or an errno. Before a file is written over in place, beforeWriteOver is told the
// identity of the file about to be overwritten (its bytes are about to change). Returns 0, or
// an errno: EACCES (or what the system says) for a file the effective user may not write,
// EISDIR for a folder, ENOTSUP for a device, pipe or socket — in those cases nothing is
// touched.
int f_SaveFile(const std::string& path, const std::function<int(int fd)>& writeContent, SaveOutcome& outcome,
               const std::function<void(const FileIdentity& target)>& beforeWriteOver = {});

// A file of our own for data that must not stay in memory: in $XDG_CACHE_HOME/ostrakonix (or
// ~/.cache/ostrakonix, else $TMPDIR or /var/tmp), without a name, so that it goes when it is
// closed, also after a crash. −1 with errno set when none can be made.
int f_ScratchFile();
