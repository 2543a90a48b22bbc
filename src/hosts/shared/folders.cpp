#include "hosts/shared/folders.h"

#include "app/file_primitives.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace host {
namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Reads KEY="value" from user-dirs.dirs, with $HOME expanded.
std::string xdgUserDir(const std::string& key) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string file = (config && *config ? std::string(config) : homeFolder() + "/.config") + "/user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string value = line.substr(key.size() + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = homeFolder() + value.substr(5);
        if (!value.empty() && value[0] == '/') return value;
    }
    return {};
}

}  // namespace

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

std::string userFolder(Folder folder) {
    struct Choice {
        const char* key;
        const char* fallback;
    };
    Choice choice{nullptr, nullptr};
    switch (folder) {
    case Folder::Home: return homeFolder();
    case Folder::Desktop: choice = {"XDG_DESKTOP_DIR", "Desktop"}; break;
    case Folder::Documents: choice = {"XDG_DOCUMENTS_DIR", "Documents"}; break;
    case Folder::Downloads: choice = {"XDG_DOWNLOAD_DIR", "Downloads"}; break;
    case Folder::Pictures: choice = {"XDG_PICTURES_DIR", "Pictures"}; break;
    case Folder::Music: choice = {"XDG_MUSIC_DIR", "Music"}; break;
    case Folder::Movies: choice = {"XDG_VIDEOS_DIR", "Videos"}; break;
    }
    std::string path = xdgUserDir(choice.key);
    if (path.empty()) path = homeFolder() + "/" + choice.fallback;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string defaultResourceFolder() {
    if (const char* env = std::getenv("OSTRAKONIX_RESOURCES"); env && *env) return env;
    std::string beside = kt::executableFolder() + "/resources";
    if (isFolder(beside)) return beside;
    return kt::executableFolder() + "/../share/ostrakonix";
}

}  // namespace host
