#include "files/catalog.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unordered_map>

#include "app/file_primitives.h"
#include "app/log.h"
#include "files/fileio.h"
#include "terminal/text.h"
#include "terminal/unicode.h"

namespace {

struct Catalog {
    std::vector<f_CatItem> items;
    int64_t status = 0;
    int64_t count = 0;
    int64_t selected = -1;
    std::string folder;
    std::string filter;
};

Catalog& catalog() {
    static Catalog instance;
    return instance;
}

// --- Text helpers ------------------------------------------------------------------------

// The text padded with blanks and cut to k characters.
std::string leftField(const std::string& text, size_t k) {
    std::string out = kt::firstScalars(text, k);
    for (size_t n = kt::scalarCount(out); n < k; ++n) out += ' ';
    return out;
}

// Blanks in front and the last k characters of the text.
std::string rightField(const std::string& text, size_t k) {
    auto scalars = kt::scalarsOf(text);
    std::string out;
    for (size_t n = scalars.size(); n < k; ++n) out += ' ';
    for (size_t i = scalars.size() > k ? scalars.size() - k : 0; i < scalars.size(); ++i) out += kt::utf8Of(scalars[i]);
    return out;
}

// "dd.MM.yyyy HH:mm:ss" in local time; written by hand, as this runs for every entry.
std::string dateText(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    if (!::localtime_r(&seconds, &local)) return {};
    std::string text = "00.00.0000 00:00:00";
    auto put = [&](size_t at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
    };
    const int year = local.tm_year + 1900;
    if (year < 0 || year > 9999) return {};
    put(0, local.tm_mday, 2);
    put(3, local.tm_mon + 1, 2);
    put(6, year, 4);
    put(11, local.tm_hour, 2);
    put(14, local.tm_min, 2);
    put(17, local.tm_sec, 2);
    return text;
}

std::chrono::system_clock::time_point timeOf(const struct statx_timestamp& stamp) {
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec)));
}

// --- Attributes ------------------------------------------------------------------------------

using Clock = std::chrono::system_clock;

f_CatItem emptyItem(Clock::time_point now) {
    f_CatItem item;
    item.Created = item.Modified = now;
    return item;
}

// The extension of a name or path; the quick way for the common plain ASCII one.
std::string extensionOf(const char* name) {
    bool ascii = true;
    const char* dot = nullptr;
    for (const char* p = name; *p; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80) ascii = false;
        if (*p == '.') dot = p;
        if (*p == '/') dot = nullptr;
    }
    if (!ascii) return f_PathExtension(name);
    return dot ? std::string(dot + 1) : std::string();
}

// The immutable flag (chattr +i). statx reports it where the file system supports it; else
// the flags are asked for directly, only of files and folders, which open without side effects.
bool immutable(int folder, const char* name, const struct statx& info) {
    if (info.stx_attributes_mask & STATX_ATTR_IMMUTABLE) return info.stx_attributes & STATX_ATTR_IMMUTABLE;
    if (!S_ISREG(info.stx_mode) && !S_ISDIR(info.stx_mode)) return false;
    int fd = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool result = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL);
    ::close(fd);
    return result;
}

// Fills the fields that the file system gives (Kind to ReadOnly) for `name` relative to the
// folder descriptor; 0, or the error code when the entry can't be examined.
int readAttributes(int folder, const char* name, Clock::time_point now, f_CatItem& item) {
    struct statx info {};
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_BTIME | STATX_MTIME;
    if (::statx(folder, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &info) != 0) return errno;
    struct KindRow {
        mode_t type;
        const char* kind;
        int64_t number;
        const char* fileType;
    };
    static const KindRow kinds[] = {
        {S_IFREG, "NSFileTypeRegular", 1, "????"},          {S_IFDIR, "NSFileTypeDirectory", 2, "DIR "},
        {S_IFLNK, "NSFileTypeSymbolicLink", 3, "SYM "},     {S_IFSOCK, "NSFileTypeSocket", 4, "SOC "},
        {S_IFCHR, "NSFileTypeCharacterSpecial", 5, "CHR "}, {S_IFBLK, "NSFileTypeBlockSpecial", 6, "BLK "},
    };
    item.Kind = "NSFileTypeUnknown";
    item.KindNum = 0;
    item.FileType = "ILL ";
    for (const auto& row : kinds) {
        if ((info.stx_mode & S_IFMT) != row.type) continue;
        item.Kind = row.kind;
        item.KindNum = row.number;
        item.FileType = row.fileType;
    }
    if (item.KindNum == 1) {
        // Files here carry no type and creator codes: the type comes from the extension.
        item.FileCreator = "????";
        item.FileType = f_FileKind(extensionOf(name));
    } else {
        item.FileCreator = "----";
    }
    item.ExtHidden = false;
    item.Size = static_cast<int64_t>(info.stx_size);
    item.Created = info.stx_mask & STATX_BTIME ? timeOf(info.stx_btime) : now;
    item.Modified = info.stx_mask & STATX_MTIME ? timeOf(info.stx_mtime) : now;
    item.CreatedStr = dateText(item.Created);
    item.ModifiedStr = dateText(item.Modified);
    item.ReadOnly = immutable(folder, name, info);
    return 0;
}

void finishItem(f_CatItem& item) {
    item.Invisible = f_IsHiddenName(item.Name);
    item.Alias = item.FileType == "fdrp" || item.FileType == "SYM ";
}

// The host error's description, as the file helpers word theirs.
std::string errorText(int code, const std::string& noun, const std::string& path, const std::string& verb) {
    return std::to_string(code) + ": The " + noun + " “" + path + "” could not be " + verb + ": " +
           std::strerror(code) + ".";
}

// --- Loading ---------------------------------------------------------------------------------

struct FolderId {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderId&) const = default;
};

struct Listed {
    std::string key;  // the name in lower case, for sorting
    std::string name;
};

struct LoadOptions {
    bool recursive, showInvisible, showAliases;
    const std::string& filter;
    const std::string& volumes;
};

// The names of a folder, sorted without regard to case; false (with errno set) on failure.
bool sortedNames(int folder, std::vector<Listed>& names) {
    int copy = ::dup(folder);
    if (copy < 0) return false;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        int code = errno;
        ::close(copy);
        errno = code;
        return false;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        names.push_back({kt::lowerCase(n), n});
        errno = 0;
    }
    int code = errno;
    ::closedir(dir);
    errno = code;
    if (code != 0) return false;
    // Sorted once; names equal but for case keep a fixed order.
    std::sort(names.begin(), names.end(),
              [](const Listed& a, const Listed& b) { return a.key != b.key ? a.key < b.key : a.name < b.name; });
    return true;
}

void load(std::string folder, const LoadOptions& options, std::vector<FolderId>& active);

// Appends the entries of an open folder; false when it could not be listed.
bool loadEntries(const std::string& folder, int fd, const LoadOptions& options, std::vector<FolderId>& active) {
    std::vector<Listed> names;
    if (!sortedNames(fd, names)) {
        const int code = errno;
        kt::logLine("f_CatLoad: Error #" + errorText(code, "folder", folder, "listed"));
        catalog().status = -1;
        return false;
    }
    const bool volumes = folder == options.volumes;
    const auto now = Clock::now();
    auto& items = catalog().items;
    // Grown geometrically: a recursive load reserves once per folder.
    if (items.capacity() < items.size() + names.size())
        items.reserve(std::max(items.size() + names.size(), 2 * items.capacity()));
    for (const Listed& entry : names) {
        const char* name = entry.name.c_str();
        if (::faccessat(fd, name, R_OK, 0) != 0) continue;
        f_CatItem item = emptyItem(now);
        if (int code = readAttributes(fd, name, now, item); code != 0) {
            // Gone since the folder was read: as unreadable as it gets.
            if (code == ENOENT) continue;
            kt::logLine("f_FileAttributes: Error #" + errorText(code, "file", folder + entry.name, "examined"));
            item = emptyItem(now);
        } else {
            item.Name = entry.name;
            item.Path = folder;
        }
        finishItem(item);
        const bool isFolder = item.KindNum == 2 || item.KindNum == 3;
        if (volumes) {
            kt::logLine("f_CatLoad: Volume „" + entry.name + "“ of type „" + item.FileType + "“ " +
                        (isFolder ? "added to list" : "ignored"));
            if (isFolder) items.push_back(std::move(item));
        } else if ((options.showInvisible || !item.Invisible) && (options.showAliases || !item.Alias) &&
                   f_TypeMatches(item.FileType, options.filter)) {
            items.push_back(std::move(item));
        }
        if (options.recursive && isFolder) load(folder + entry.name + "/", options, active);
    }
    return true;
}

void load(std::string folder, const LoadOptions& options, std::vector<FolderId>& active) {
    if (f_PathStatus(folder) != 2) {
        kt::logLine("f_CatLoad: Path '" + folder + "' does not exist.");
        catalog().status = -2;
        return;
    }
    // Entry paths are the folder and the name joined.
    if (folder.back() != '/') folder += '/';
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        int code = errno;
        if (fd >= 0) ::close(fd);
        kt::logLine("f_CatLoad: Error #" + errorText(code, "folder", folder, "listed"));
        catalog().status = -1;
        return;
    }
    // A link back to a folder that is being listed would make a recursive load endless.
    const FolderId id{info.st_dev, info.st_ino};
    if (std::find(active.begin(), active.end(), id) != active.end()) {
        ::close(fd);
        return;
    }
    active.push_back(id);
    const bool listed = loadEntries(folder, fd, options, active);
    active.pop_back();
    ::close(fd);
    if (!listed) return;
    Catalog& c = catalog();
    c.filter = options.filter;
    c.folder = folder;
    c.count = static_cast<int64_t>(c.items.size());
    c.status = 1;
}

// --- The volumes folder --------------------------------------------------------------------

std::mutex volumesLock;
std::string volumesOverride;

std::string userName() {
    static const std::string name = [] {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
            return std::string(found->pw_name);
        const char* user = std::getenv("USER");
        return std::string(user ? user : "");
    }();
    return name;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::vector<f_CatItem>& f_Catalog() { return catalog().items; }
int64_t& f_CatStatus() { return catalog().status; }
int64_t& f_CatCount() { return catalog().count; }
int64_t& f_CatSelected() { return catalog().selected; }
std::string& f_CatFolder() { return catalog().folder; }
std::string& f_CatFilter() { return catalog().filter; }

f_CatItem f_FileAttributes(const std::string& path) {
    const auto now = Clock::now();
    f_CatItem item = emptyItem(now);
    if (int code = readAttributes(AT_FDCWD, path.c_str(), now, item); code != 0) {
        kt::logLine("f_FileAttributes: Error #" + errorText(code, "file", path, "examined"));
        item = emptyItem(now);
    } else {
        item.Name = f_PathName(path);
        item.Path = f_PathDirectory(path);
    }
    finishItem(item);
    return item;
}

void f_CatLoad(const std::string& folder, bool recursive, bool showInvisible, bool showAliases,
               const std::string& filter) {
    const std::string volumes = f_VolumesFolder();
    std::vector<FolderId> active;
    load(folder, LoadOptions{recursive, showInvisible, showAliases, filter, volumes}, active);
}

std::string f_FileKind(const std::string& extension) {
    static const std::unordered_map<std::string, const char*> table = [] {
        const std::pair<const char*, std::vector<const char*>> rows[] = {
            {"VOLU", {"vol", "dsk", "hdv", "kefs"}},
            {"TEXT", {"txt", "ppd",   "xml", "htm", "html", "php", "css", "plist", "log", "conf", "cfg",
                      "ini", "cshrc", "mac", "sub", "pas",  "bak", "dta", "msg",   "for", "ovr"}},
            {"A65 ", {"a65"}},
            {"RTF ", {"rtf"}},
            {"PDF ", {"pdf"}},
            {"PNGf", {"png"}},
            {"JPEG", {"jpg", "jpeg"}},
            {"TIFF", {"tif", "tiff"}},
            {"8BPS", {"psd"}},
            {"GIFf", {"gif"}},
            {"BMP ", {"bmp"}},
            {"AIFC", {"aif", "aiff", "aifc"}},
            {"WXBN", {"docx"}},
            {"XLSX", {"xlsx"}},
            {"PPTX", {"pptx"}},
            {"PPSX", {"ppsx"}},
            {"W8BN", {"doc"}},
            {"XLS8", {"xls"}},
            {"SLD8", {"ppt"}},
            {"PPSS", {"pps"}},
            {"sfnt", {"ttf", "otf"}},
            {"ZIP ", {"zip"}},
            {"devi", {"dmg"}},
            {"BIN ", {"bin"}},
            {"OBJ ", {"obj"}},
            {"FONT", {"fnt", "font"}},
            {"GRPH", {"gr", "grph", "graphic"}},
            {"FBAS", {"fpbas"}},
            {"BAS ", {"bas"}},
            {"ASM ", {"asm"}},
            {"CALC", {"calc"}},
            {"WORD", {"word"}},
            {"DATB", {"db", "datb", "database"}},
        };
        std::unordered_map<std::string, const char*> map;
        for (const auto& [type, extensions] : rows)
            for (const char* e : extensions) map.emplace(e, type);
        return map;
    }();
    auto found = table.find(kt::lowerCase(extension));
    return found == table.end() ? "????" : found->second;
}

bool f_IsHiddenName(const std::string& name) {
    if (!name.empty() && name[0] == '.') return true;
    return kt::lowerCase(name) == "thumbs.db" || name == "Icon\r" || name == "mach_kernel" ||
           name == "Synchronize! Volume ID";
}

std::string f_SizeStr(int64_t size) {
    constexpr int64_t KB = int64_t{1} << 10, MB = int64_t{1} << 20, GB = int64_t{1} << 30, TB = int64_t{1} << 40;
    if (size < KB) return std::to_string(size) + " B ";
    if (size < MB) return std::to_string(size / KB) + " KB";
    if (size < GB) return std::to_string(size / MB) + " MB";
    if (size < TB) return std::to_string(size / GB) + " GB";
    return std::to_string(size / TB) + " TB";
}

bool f_TypeMatches(const std::string& type, const std::string& filter) {
    if (filter.empty()) return true;
    const std::string lowerType = kt::lowerCase(type), lowerFilter = kt::lowerCase(filter);
    size_t start = 0;
    for (;;) {
        const size_t comma = lowerFilter.find(',', start);
        const std::string piece = lowerFilter.substr(start, comma == std::string::npos ? comma : comma - start);
        // An empty piece (a stray comma) names no type.
        if (!piece.empty() && lowerType.find(piece) != std::string::npos) return true;
        if (comma == std::string::npos) return false;
        start = comma + 1;
    }
}

std::string f_CatStr(const f_CatItem& item, int64_t width, bool plain) {
    std::string shown = item.Name;
    if (item.ExtHidden) {
        if (kt::scalarCount(f_PathExtension(item.Name)) < 7)
            shown = f_PathBaseName(item.Name);
        else
            kt::logLine("f_CatStr: Extension too long to hide.");
    }
    shown = t_ConvertUniCode(shown).first;

    std::string kind = item.FileType;
    if (kind == "DIR " || kind == "SYM ") {
        if (item.Path == f_VolumesFolder())
            kind = plain ? "VOL " : "\u0081\u0083\u0083\u0084";
        else if (!plain)
            kind = "\u0082\u0083\u0083\u0084";
    }
    // Four columns whatever the entry holds, so that the columns stay aligned.
    kind = leftField(kind, 4);
    const std::string mark = item.ReadOnly ? (plain ? "*" : "\u0080") : " ";
    const std::string size = item.KindNum == 1 ? f_SizeStr(item.Size) : "";
    const std::string date = leftField(item.ModifiedStr, 10);

    if (width == 80) return mark + leftField(shown, 49) + "  " + kind + " " + rightField(size, 8) + "  " + date;
    if (width == 40) {
        // "1023 KB" would lose its first digit in six columns; it loses the blank instead.
        std::string narrow = size;
        if (narrow.size() > 6) narrow.erase(narrow.find(' '), 1);
        return mark + leftField(shown, 15) + " " + kind + " " + rightField(narrow, 6) + " " + date.substr(0, 6) +
               date.substr(8, 2);
    }
    return mark + leftField(shown, 32) + " " + kind + " " + rightField(size, 7) + " " + date;
}

std::string f_CatSelectedPath() {
    const Catalog& c = catalog();
    if (c.status != 1 || c.selected < 0 || c.selected >= static_cast<int64_t>(c.items.size())) return {};
    return c.items[static_cast<size_t>(c.selected)].Path;
}

std::string f_CatSelectedName() {
    const Catalog& c = catalog();
    if (c.status != 1 || c.selected < 0 || c.selected >= static_cast<int64_t>(c.items.size())) return {};
    return c.items[static_cast<size_t>(c.selected)].Name;
}

int64_t f_CatIndex(const std::string& name) {
    const auto& items = catalog().items;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].Name == name) return static_cast<int64_t>(i);
    return -1;
}

int64_t f_PathStatus(const std::string& path) { return kt::fileStatus(path); }

std::string f_VolumesFolder() {
    {
        std::lock_guard guard(volumesLock);
        if (!volumesOverride.empty()) return volumesOverride;
    }
    const std::string user = userName();
    if (!user.empty() && isFolder("/media/" + user)) return "/media/" + user + "/";
    if (isFolder("/media")) return "/media/";
    return "/mnt/";
}

namespace kt {
void setVolumesFolder(const std::string& folder) {
    std::lock_guard guard(volumesLock);
    volumesOverride = folder;
}
}  // namespace kt
