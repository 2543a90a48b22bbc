#include "app/file_primitives.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "app/log.h"
#include "app/utf8.h"

namespace {

kt::ByteArray readWhole(const std::string& path, const char* prefix, int* error = nullptr) {
    if (error) *error = 0;
    auto fail = [&](int code) {
        if (error) *error = code;
        kt::logLine(std::string(prefix) + kt::fileErrorDescription(code, "read", path));
        return kt::ByteArray{};
    };
    int code = 0;
    int fd = kt::openRegularFile(path, code);
    if (fd < 0) return fail(code);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        code = errno;
        ::close(fd);
        return fail(code);
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // Sized from the file's length and read straight into; a file that grows meanwhile
    // (or reports no length) is read on until its end.
    kt::ByteArray bytes;
    size_t used = 0;
    try {
        bytes.resize(static_cast<size_t>(info.st_size) + 1);
        for (;;) {
            if (used == bytes.size()) bytes.resize(bytes.size() * 2);
            ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
            if (n < 0) {
                if (errno == EINTR) continue;
                code = errno;
                break;
            }
            if (n == 0) break;
            used += static_cast<size_t>(n);
        }
    } catch (const std::bad_alloc&) {
        code = ENOMEM;  // a file larger than the memory is refused, not a crash
    }
    if (code != 0) {
        ::close(fd);
        return fail(code);
    }
    ::close(fd);
    bytes.resize(used);
    return bytes;
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

}  // namespace

namespace kt {

int openRegularFile(const std::string& path, int& error) {
    // Looked at before opening, since opening some devices already does something (a tape
    // rewinds); looked at again through the descriptor, which is what is read.
    auto refusal = [](const struct stat& info) {
        return S_ISREG(info.st_mode) ? 0 : S_ISDIR(info.st_mode) ? EISDIR : ENOTSUP;
    };
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && (error = refusal(info)) != 0) return -1;
    // Without blocking: a pipe would wait for a writer in open().
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    error = ::fstat(fd, &info) != 0 ? errno : refusal(info);
    if (error == 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) error = errno;
    if (error != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string fileErrorDescription(int code, const std::string& what, const std::string& path) {
    return std::to_string(code) + ": The file “" + path + "” could not be " + what + ": " + std::strerror(code) + ".";
}

int64_t fileStatus(const std::string& path) {
    if (path.empty()) return -1;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0;
    return S_ISDIR(info.st_mode) ? 2 : 1;
}

std::string executableFolder() {
    std::string buffer(PATH_MAX, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return ".";
    buffer.resize(static_cast<size_t>(n));
    auto slash = buffer.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : buffer.substr(0, slash);
}

}  // namespace kt

kt::ByteArray getbinaryfromfile(const std::string& path) { return readWhole(path, "getbinaryfromfile: Error #"); }

kt::ByteArray gettextfromfile(const std::string& path) { return readWhole(path, "gettextfromfile: Error #"); }

kt::ByteArray gettextfromfile(const std::string& path, int& error) {
    return readWhole(path, "gettextfromfile: Error #", &error);
}

std::string f_PathDirectory(const std::string& path) {
    auto starts = kt::clusterStarts(path);
    size_t slash = lastSeparator(path, starts, '/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string f_PathName(const std::string& path) {
    auto starts = kt::clusterStarts(path);
    size_t slash = lastSeparator(path, starts, '/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string f_PathExtension(const std::string& path) {
    auto starts = kt::clusterStarts(path);
    size_t slash = lastSeparator(path, starts, '/');
    size_t component = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = lastSeparator(path, starts, '.', component);
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string f_PathBaseName(const std::string& path) {
    auto starts = kt::clusterStarts(path);
    size_t slash = lastSeparator(path, starts, '/');
    size_t component = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = lastSeparator(path, starts, '.', component);
    return dot == std::string::npos ? path.substr(component) : path.substr(component, dot - component);
}

