#include "files/fileio.h"

#include "app/log.h"
#include "files/file_ranges.h"
#include "files/save.h"
#include "platform/platform.h"

int64_t setbinarytofile(const std::string& path, std::span<const uint8_t> bytes) {
    SaveOutcome outcome;
    const int code = f_SaveFile(
        path, [bytes](int fd) { return f_WriteAt(fd, bytes.data(), std::ssize(bytes), 0); }, outcome);
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
