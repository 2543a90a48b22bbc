#include "files/fileio.h"

#include <unistd.h>

#include <cerrno>

#include "app/log.h"
#include "files/save.h"
#include "platform/platform.h"

namespace {

int writeAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

int64_t setbinarytofile(const std::string& path, std::span<const uint8_t> bytes) {
    SaveOutcome outcome;
    const int code = f_SaveFile(
        path, [bytes](int fd) { return writeAll(fd, bytes); }, outcome);
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
