#include "files/journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "app/file_primitives.h"
#include "app/log.h"
#include "files/file_ranges.h"
#include "files/io_calls.h"
#include "files/save.h"
#include "files/save_internal.h"

using namespace save_detail;

namespace {

// The journal: a mark, the file's device, inode and size, the number of changes; each change
// as its position, its length, the old and the new bytes; a checksum of all that; an end mark.
// Numbers as 64-bit values of this machine (a journal is read where it was written).
constexpr char startMark[8] = {'O', 'X', 'J', 'R', 'N', 'L', '0', '1'};
constexpr char endMark[8] = {'O', 'X', 'J', 'E', 'N', 'D', '0', '1'};

struct Entry {
    int64_t at;
    std::vector<uint8_t> before, after;
};

struct Journal {
    uint64_t device = 0, inode = 0;
    int64_t size = 0;
    std::vector<Entry> entries;
};

// FNV-1a over 64 bits: enough to tell a journal cut short or torn from a whole one.
uint64_t checksum(const uint8_t* bytes, size_t count) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < count; ++i) hash = (hash ^ bytes[i]) * 0x100000001B3ull;
    return hash;
}

void put(std::vector<uint8_t>& out, uint64_t value) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + 8);
}

// The journal in bytes, or nothing when they are not a whole one.
std::optional<Journal> parse(const std::vector<uint8_t>& bytes) {
    size_t at = 0;
    auto take = [&](void* out, size_t n) {
        if (bytes.size() - at < n) return false;
        std::memcpy(out, bytes.data() + at, n);
        at += n;
        return true;
    };
    char mark[8];
    Journal journal;
    uint64_t count = 0;
    if (!take(mark, 8) || std::memcmp(mark, startMark, 8) != 0 || !take(&journal.device, 8) ||
        !take(&journal.inode, 8) || !take(&journal.size, 8) || !take(&count, 8) || count > bytes.size() / 16)
        return std::nullopt;
    for (uint64_t i = 0; i < count; ++i) {
        Entry entry;
        int64_t length = 0;
        if (!take(&entry.at, 8) || !take(&length, 8) || entry.at < 0 || length < 0 || entry.at > journal.size ||
            length > journal.size - entry.at || static_cast<uint64_t>(length) > (bytes.size() - at) / 2)
            return std::nullopt;
        entry.before.resize(static_cast<size_t>(length));
        entry.after.resize(static_cast<size_t>(length));
        take(entry.before.data(), entry.before.size());
        take(entry.after.data(), entry.after.size());
        journal.entries.push_back(std::move(entry));
    }
    const uint64_t expected = checksum(bytes.data(), at);
    uint64_t stored = 0;
    if (!take(&stored, 8) || stored != expected || !take(mark, 8) || std::memcmp(mark, endMark, 8) != 0 ||
        at != bytes.size())
        return std::nullopt;
    return journal;
}

std::string besideOf(const std::string& target) {
    return folderOf(target) + temporaryStem(f_PathName(target)) + "journal";
}

std::string inCacheOf(uint64_t device, uint64_t inode) {
    const std::string folder = privateFolder();
    return folder.empty() ? "" : folder + "journal-" + std::to_string(device) + "-" + std::to_string(inode);
}

std::string inCacheOf(const struct stat& info) { return inCacheOf(info.st_dev, info.st_ino); }

// A journal that is a file of ours, not a link to something else.
bool ours(const std::string& journal) {
    struct stat info {};
    return !journal.empty() && ::lstat(journal.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_uid == ::geteuid();
}

// The journal's bytes: the file's identity, and each change with the bytes it replaces.
int compose(int fd, const std::vector<JournalChange>& changes, std::vector<uint8_t>& out) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return errno;
    out.assign(startMark, startMark + 8);
    put(out, info.st_dev);
    put(out, info.st_ino);
    put(out, static_cast<uint64_t>(info.st_size));
    put(out, changes.size());
    for (const JournalChange& change : changes) {
        const auto length = static_cast<int64_t>(change.bytes.size());
        put(out, static_cast<uint64_t>(change.at));
        put(out, static_cast<uint64_t>(length));
        out.resize(out.size() + change.bytes.size());
        if (const int code = f_ReadAt(fd, out.data() + out.size() - change.bytes.size(), length, change.at))
            return code;
        out.insert(out.end(), change.bytes.begin(), change.bytes.end());
    }
    put(out, checksum(out.data(), out.size()));
    out.insert(out.end(), endMark, endMark + 8);
    return 0;
}

// Writes the journal and syncs it with its folder. It is made under its own name (a journal
// cut short is told by its checksum), which costs one commit less than a rename; only over a
// journal left by an earlier save it goes through a temporary name and a rename, so that one
// whole journal is there at every moment. 0 or an errno, with nothing left behind. The
// journal is locked (flock) from before it has its name, and stays locked while held is
// open: another process opening the file meanwhile does not take it for one cut short.
int placeJournal(const std::string& target, const struct stat& info, const std::vector<uint8_t>& bytes,
                 std::string& journal, OwnedFile& held) {
    const std::string stem = temporaryStem(f_PathName(target));
    std::string folder = folderOf(target), temporary;
    journal = besideOf(target);
    OwnedFile file(io::open(journal.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!file && (errno == EACCES || errno == EPERM || errno == EROFS) && !(folder = privateFolder()).empty()) {
        journal = inCacheOf(info);
        file = OwnedFile(io::open(journal.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    }
    if (!file && errno == EEXIST) {
        removeStaleTemporaries(folder, stem);
        file = OwnedFile(createTemporary(folder, stem, temporary));
    }
    if (!file) return errno;
    // Where the file system has no locks, saves go on without. Another process may have taken
    // the journal made under its name for one cut short in the moment before it was locked,
    // and removed it: then it is no journal any more.
    ::flock(file.get(), LOCK_EX);
    struct stat mine {
    }, named{};
    if (temporary.empty() && (::fstat(file.get(), &mine) != 0 || ::stat(journal.c_str(), &named) != 0 ||
                              mine.st_ino != named.st_ino || mine.st_dev != named.st_dev))
        return EAGAIN;
    int code = f_WriteAt(file.get(), bytes.data(), static_cast<int64_t>(bytes.size()), 0);
    if (code == 0 && io::fsync(file.get()) != 0) code = errno;
    if (!temporary.empty()) {
        // Once renamed, the journal stays even when the folder cannot be synced: it is whole,
        // and the one it replaced may have been needed to finish the file.
        if (code == 0 && io::rename(temporary.c_str(), journal.c_str()) != 0) code = errno;
        if (code != 0) ::unlink(temporary.c_str());
        if (code == 0) code = syncFolder(folderOf(journal));
        held = std::move(file);
        return code;
    }
    if (code == 0) code = syncFolder(folderOf(journal));
    if (code != 0) ::unlink(journal.c_str());
    held = std::move(file);
    return code;
}

// Finishes or removes one journal of the file at target (whose state is info).
void finish(const std::string& target, const struct stat& info, const std::string& journalPath) {
    // Only a journal of our own is trusted (one planted by another could make us write a file).
    OwnedFile file(::open(journalPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat own {};
    if (!file || ::fstat(file.get(), &own) != 0 || !S_ISREG(own.st_mode) || own.st_uid != ::geteuid()) return;
    // A journal locked by another is one whose save is still being written.
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
        return kt::logLine("f_FinishJournal: The journal “" + journalPath + "” of “" + target +
                           "” is in use by a save going on; it is left alone.");
    std::vector<uint8_t> bytes(static_cast<size_t>(own.st_size));
    const bool read = f_ReadAt(file.get(), bytes.data(), own.st_size, 0) == 0;
    const std::optional<Journal> journal = read ? parse(bytes) : std::nullopt;
    const std::string named = "the journal “" + journalPath + "” of “" + target + "”";
    auto remove = [&](const std::string& why) {
        ::unlink(journalPath.c_str());
        kt::logLine("f_FinishJournal: " + why + "; " + named + " is removed.");
    };
    if (!journal) return remove("A save was cut short before it touched the file, which keeps its old content");
    if (journal->device != info.st_dev || journal->inode != info.st_ino || journal->size != info.st_size)
        return remove("The file is not the one the journal was written for");
    OwnedFile out(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!out) return kt::logLine("f_FinishJournal: Error #" + kt::fileErrorDescription(errno, "finished", target));
    // Each byte holds its old or its new value: a range may have been written in part (a
    // kill during a long write, a write cut short, a failure amid one), and only a byte that
    // is neither was changed by someone else.
    std::vector<uint8_t> now;
    for (const Entry& entry : journal->entries) {
        now.resize(entry.before.size());
        if (f_ReadAt(out.get(), now.data(), static_cast<int64_t>(now.size()), entry.at) != 0)
            return remove("The file was changed since its save");
        for (size_t i = 0; i < now.size(); ++i)
            if (now[i] != entry.before[i] && now[i] != entry.after[i])
                return remove("The file was changed since its save");
    }
    int code = 0;
    for (const Entry& entry : journal->entries)
        if (code == 0)
            code = f_WriteAt(out.get(), entry.after.data(), static_cast<int64_t>(entry.after.size()), entry.at);
    if (code == 0) restoreMode(out.get(), info.st_mode, target);
    if (code == 0 && ::fsync(out.get()) != 0) code = errno;
    if (code != 0) return kt::logLine("f_FinishJournal: Error #" + kt::fileErrorDescription(code, "finished", target));
    ::unlink(journalPath.c_str());
    kt::logLine("f_FinishJournal: The file “" + target + "” was finished from its journal “" + journalPath +
                "”: it holds the content of its last save.");
}

}  // namespace

std::string f_JournalBeside(const std::string& path) { return besideOf(resolveLinks(path)); }

std::string f_JournalInCache(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? inCacheOf(info) : "";
}

int f_WriteJournaled(const std::string& path, int fd, const std::vector<JournalChange>& changes, bool& touched) {
    touched = false;
    const std::string target = resolveLinks(path);
    struct stat info {};
    std::vector<uint8_t> bytes;
    std::string journal;
    if (::fstat(fd, &info) != 0) return errno;
    if (const int code = compose(fd, changes, bytes)) return code;
    OwnedFile held;  // the journal's lock, until the file is written
    if (const int code = placeJournal(target, info, bytes, journal, held)) return code;
    bytes = {};

    touched = true;
    int code = 0;
    for (const JournalChange& change : changes)
        if (code == 0) code = f_WriteAt(fd, change.bytes.data(), static_cast<int64_t>(change.bytes.size()), change.at);
    if (code == 0) restoreMode(fd, info.st_mode, target);
    if (code == 0 && io::fsync(fd) != 0) code = errno;
    if (code != 0) {
        kt::logLine("f_WriteJournaled: Error #" + kt::fileErrorDescription(code, "written in place", target) +
                    " It is finished from its journal “" + journal + "” when it is next opened.");
        return code;
    }
    ::unlink(journal.c_str());
    return 0;
}

void f_DropJournals(const std::string& path, const FileIdentity& file) {
    for (const std::string& journal : {besideOf(resolveLinks(path)), inCacheOf(file.device, file.inode)})
        if (ours(journal)) ::unlink(journal.c_str());
}

void f_FinishJournal(const std::string& path) {
    const std::string target = resolveLinks(path);
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    for (const std::string& journal : {besideOf(target), inCacheOf(info)})
        if (ours(journal)) finish(target, info, journal);
}
