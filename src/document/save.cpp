#include "document/save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace document {

int saveDocument(Document& document, const std::string& path, const Progress& progress) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) return EISDIR;
    if (name.size() > 200) name.resize(200);  // the temporary name must fit in a folder entry
    std::string temporary = folder + "/." + name + ".save-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return errno;

    struct stat old {};
    mode_t mode;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        mode = ::umask(0);
        ::umask(mode);
        mode = 0666 & ~mode;
    }
    int error = ::fchmod(fd, mode) != 0 ? errno : 0;
    if (error == 0) error = document.writeTo(fd, progress);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    // The file is saved; should the document fail to read from it, it keeps reading from
    // the files it had (the same bytes) and the caller hears of the error.
    error = document.rebase(path);
    if (error != 0) document.markSaved();
    return error;
}

}  // namespace document
