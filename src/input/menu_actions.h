// The table of menu actions: which menu item tags the toolkit carries out itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct t_MenuAction {
    int64_t Tag = 0;
    int64_t Action = 0;
    std::string Title;
    std::string Note;
    std::string FileName;
    std::string FileTypes;
    std::string FilePath;
};

// Starts with the built-in actions (window and side-window items 200 to 231, pasteboard and
// side-window items 110 to 114), each with its code as tag; a program may add its own.
std::vector<t_MenuAction>& t_MenuActions();
