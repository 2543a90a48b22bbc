// The file catalog: the entries of one folder with their attributes, and the text line that
// the catalog browser shows for an entry.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct f_CatItem {
    std::string Name;     // last path component, the real bytes of the file system
    std::string Path;     // the folder holding the entry, with a trailing "/"
    std::string Kind;     // the host's type name ("NSFileTypeRegular", …)
    int64_t KindNum = 0;  // 1 file, 2 folder, 3 link, 4 socket, 5 char device, 6 block device, 0 other
    int64_t Size = 0;
    std::string FileType;     // four characters
    std::string FileCreator;  // four characters
    bool ExtHidden = false;
    std::chrono::system_clock::time_point Created;
    std::string CreatedStr;  // "dd.MM.yyyy HH:mm:ss"
    std::chrono::system_clock::time_point Modified;
    std::string ModifiedStr;
    bool ReadOnly = false;  // immutable
    bool Invisible = false;
    bool Alias = false;
};

// The catalog, one per process; used on the program thread.
std::vector<f_CatItem>& f_Catalog();
int64_t& f_CatStatus();    // 0 not loaded, 1 loaded, −1 unreadable folder, −2 no folder
int64_t& f_CatCount();     // entries after the last successful load
int64_t& f_CatSelected();  // selected entry, −1 for none
std::string& f_CatFolder();
std::string& f_CatFilter();

// Appends the entries of folder (ending in "/"), sorted by name without regard to case.
void f_CatLoad(const std::string& folder, bool recursive, bool showInvisible, bool showAliases,
               const std::string& filter);
f_CatItem f_FileAttributes(const std::string& path);
// One browser line of width 80, 60 or 40 (any other width is 60); plain uses ASCII for the
// font's kind and lock symbols.
std::string f_CatStr(const f_CatItem& item, int64_t width, bool plain);
// Type code of a file by its extension, "????" for an extension not in the table.
std::string f_FileKind(const std::string& extension);
bool f_IsHiddenName(const std::string& name);
std::string f_SizeStr(int64_t size);
// An empty filter matches every type; otherwise one of its comma-separated pieces must
// occur in the type, both in lower case.
bool f_TypeMatches(const std::string& type, const std::string& filter);
std::string f_CatSelectedPath();
std::string f_CatSelectedName();
int64_t f_CatIndex(const std::string& name);
// −1 empty path, 0 nothing there, 1 a file, 2 a folder.
int64_t f_PathStatus(const std::string& path);
// This platform's folder of mounted volumes, with a trailing "/": /media/USER/ when it
// exists, else /media/, else /mnt/.
std::string f_VolumesFolder();

namespace kt {
// Points f_VolumesFolder elsewhere (tests); an empty string restores the platform's folder.
void setVolumesFolder(const std::string& folder);
}  // namespace kt
