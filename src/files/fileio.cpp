#include "files/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utf8proc.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include "app/log.h"
#include "host/host.h"

namespace {

std::string errorDescription(int code, const std::string& what, const std::string& path) {
    return std::to_string(code) + ": The file “" + path + "” could not be " + what + ": " + std::strerror(code) + ".";
}

kt::ByteArray readWhole(const std::string& path, const char* prefix, int* error = nullptr) {
    if (error) *error = 0;
    auto fail = [&](int code) {
        if (error) *error = code;
        kt::logLine(std::string(prefix) + errorDescription(code, "read", path));
        return kt::ByteArray{};
    };
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        int code = errno;
        ::close(fd);
        return fail(code);
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return fail(EISDIR);
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // Sized from the file's length and read straight into; a file that grows meanwhile
    // (or reports no length) is read on until its end.
    kt::ByteArray bytes;
    size_t expected = S_ISREG(info.st_mode) ? static_cast<size_t>(info.st_size) : 0;
    bytes.resize(expected + 1);
    size_t used = 0;
    for (;;) {
        if (used == bytes.size()) bytes.resize(bytes.size() * 2);
        ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            int code = errno;
            ::close(fd);
            return fail(code);
        }
        if (n == 0) break;
        used += static_cast<size_t>(n);
    }
    ::close(fd);
    bytes.resize(used);
    return bytes;
}

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

// Start offsets of the extended grapheme clusters of a UTF-8 string. A byte that is not
// valid UTF-8 is a cluster of its own.
std::vector<size_t> clusterStarts(const std::string& text) {
    std::vector<size_t> starts;
    utf8proc_int32_t previous = -1, state = 0;
    size_t i = 0;
    while (i < text.size()) {
        utf8proc_int32_t c = 0;
        auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + i),
                                  static_cast<utf8proc_ssize_t>(text.size() - i), &c);
        if (n < 1) {
            starts.push_back(i);
            previous = -1;
            state = 0;
            ++i;
            continue;
        }
        if (previous < 0 || utf8proc_grapheme_break_stateful(previous, c, &state)) starts.push_back(i);
        previous = c;
        i += static_cast<size_t>(n);
    }
    return starts;
}

// Position of the last cluster that is exactly the character ch and lies at or after
// `from`; npos when there is none. Separators are looked for as whole clusters, so a "."
// that carries a combining mark is not an extension's dot.
size_t lastSeparator(const std::string& text, const std::vector<size_t>& starts, char ch, size_t from = 0) {
    for (size_t k = starts.size(); k-- > 0;) {
        size_t start = starts[k];
        if (start < from) break;
        size_t end = k + 1 < starts.size() ? starts[k + 1] : text.size();
        if (end - start == 1 && text[start] == ch) return start;
    }
    return std::string::npos;
}

std::vector<std::string> splitTypes(const std::string& types) {
    std::vector<std::string> list;
    if (types.empty()) return list;
    size_t start = 0;
    for (;;) {
        size_t comma = types.find(',', start);
        list.push_back(types.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return list;
}

}  // namespace

kt::ByteArray getbinaryfromfile(const std::string& path) { return readWhole(path, "getbinaryfromfile: Error #"); }

kt::ByteArray gettextfromfile(const std::string& path) { return readWhole(path, "gettextfromfile: Error #"); }

kt::ByteArray gettextfromfile(const std::string& path, int& error) {
    return readWhole(path, "gettextfromfile: Error #", &error);
}

int64_t setbinarytofile(const std::string& path, std::span<const uint8_t> bytes) {
    int code = path.empty() ? ENOENT : writeReplacing(path, bytes);
    if (code != 0) kt::logLine("setbinarytofile: Error #" + errorDescription(code, "written", path));
    return code;
}

std::string f_PathDirectory(const std::string& path) {
    auto starts = clusterStarts(path);
    size_t slash = lastSeparator(path, starts, '/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string f_PathName(const std::string& path) {
    auto starts = clusterStarts(path);
    size_t slash = lastSeparator(path, starts, '/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string f_PathExtension(const std::string& path) {
    auto starts = clusterStarts(path);
    size_t slash = lastSeparator(path, starts, '/');
    size_t component = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = lastSeparator(path, starts, '.', component);
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string f_PathBaseName(const std::string& path) {
    auto starts = clusterStarts(path);
    size_t slash = lastSeparator(path, starts, '/');
    size_t component = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = lastSeparator(path, starts, '.', component);
    return dot == std::string::npos ? path.substr(component) : path.substr(component, dot - component);
}

std::string f_HomeFolder() {
    std::string downloads = host::host().standardFolder(host::Folder::Downloads);
    if (downloads.empty()) return {};
    // The parent of the downloads folder, with its trailing "/".
    while (downloads.size() > 1 && downloads.back() == '/') downloads.pop_back();
    return f_PathDirectory(downloads);
}

namespace kt {

std::string panelUrlToPath(const std::string& url) {
    std::string decoded;
    decoded.reserve(url.size());
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size()) {
            int high = hexValue(url[i + 1]), low = hexValue(url[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += url[i];
    }
    // Compose to form C where the text is valid UTF-8; other bytes are kept as they are.
    utf8proc_uint8_t* composed = nullptr;
    auto n = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(decoded.data()),
                          static_cast<utf8proc_ssize_t>(decoded.size()), &composed,
                          static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (n >= 0 && composed) decoded.assign(reinterpret_cast<char*>(composed), static_cast<size_t>(n));
    std::free(composed);
    if (decoded.rfind("file://", 0) == 0) decoded.erase(0, 7);
    return decoded;
}

std::string pathToFileUrl(const std::string& path) {
    static const char digits[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                     c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += digits[c >> 4];
            url += digits[c & 15];
        }
    }
    return url;
}

}  // namespace kt

std::vector<std::string> f_OpenPanel(const std::string& title, const std::string& message,
                                     const std::string& fileTypes, bool multiple, bool files, bool folders) {
    host::OpenPanelRequest request;
    request.title = title;
    request.message = message;
    request.fileTypes = splitTypes(fileTypes);
    request.multiple = multiple;
    request.files = files;
    request.folders = folders;
    request.buttonText = folders ? "Wählen" : "Öffnen";
    std::vector<std::string> paths;
    for (const auto& url : host::host().runOpenPanel(request)) paths.push_back(kt::panelUrlToPath(url));
    return paths;
}

std::string f_SavePanel(const std::string& name, const std::string& title, const std::string& message,
                        const std::string& fileTypes) {
    host::SavePanelRequest request;
    request.name = name;
    request.title = title;
    request.message = message;
    request.fileTypes = splitTypes(fileTypes);
    request.buttonText = "Sichern";
    request.nameLabel = "Sichern unter:";
    std::string url = host::host().runSavePanel(request);
    return url.empty() ? std::string() : kt::panelUrlToPath(url);
}

namespace {
// Runs a panel on the main thread for a caller on another thread, which polls for the result.
std::string panelFromOtherThread(std::function<std::string()> panel) {
    using namespace std::chrono_literals;
    struct Slot {
        std::atomic<bool> done{false};
        std::string result;
    };
    auto slot = std::make_shared<Slot>();
    std::this_thread::sleep_for(20ms);
    host::host().runOnMainAsync([slot, panel = std::move(panel)] {
        slot->result = panel();
        slot->done.store(true, std::memory_order_release);
    });
    while (!slot->done.load(std::memory_order_acquire)) std::this_thread::sleep_for(1ms);
    return slot->result;
}
}  // namespace

std::string f_OpenPanelPath(const std::string& title, const std::string& message, const std::string& fileTypes,
                            bool files, bool folders) {
    auto first = [=] {
        auto paths = f_OpenPanel(title, message, fileTypes, false, files, folders);
        return paths.empty() ? std::string() : paths.front();
    };
    if (host::host().isMainThread()) return first();
    return panelFromOtherThread(first);
}

std::string f_SavePanelFromAnyThread(const std::string& name, const std::string& title, const std::string& message,
                                     const std::string& fileTypes) {
    auto save = [=] { return f_SavePanel(name, title, message, fileTypes); };
    if (host::host().isMainThread()) return save();
    return panelFromOtherThread(save);
}
