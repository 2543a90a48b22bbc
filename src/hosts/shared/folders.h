// The user's standard folders and the application's own folders, shared by all hosts.
#pragma once

#include <string>

#include "platform/platform.h"

namespace host {

std::string homeFolder();
// The XDG user folder (from user-dirs.dirs), else the usual folder in the home folder.
// Paths have no trailing "/".
std::string userFolder(Folder folder);
// OSTRAKONIX_RESOURCES when set; else "resources" beside the executable when it exists;
// else the installed share folder.
std::string defaultResourceFolder();

}  // namespace host
