// The bottom-most file primitives: reading a whole file, asking what a path names, and
// splitting a path into folder, name and extension.
#pragma once

#include <cstdint>
#include <string>

#include "app/bytes.h"

// Read a whole file; empty on failure (with one log line) and for an empty file.
kt::ByteArray getbinaryfromfile(const std::string& path);
kt::ByteArray gettextfromfile(const std::string& path);
// The same, telling a failed read (error set to the system's code) from an empty file (0).
kt::ByteArray gettextfromfile(const std::string& path, int& error);

std::string f_PathDirectory(const std::string& path);
std::string f_PathName(const std::string& path);
std::string f_PathExtension(const std::string& path);
std::string f_PathBaseName(const std::string& path);

namespace kt {
// Opens a regular file for reading: a descriptor, or −1 with error set. Folders give EISDIR;
// devices, pipes and sockets give ENOTSUP without being read (a pipe without a writer or an
// endless device would otherwise block or fill the memory).
int openRegularFile(const std::string& path, int& error);
// −1 for an empty path, 0 when nothing is there, 1 for a file, 2 for a folder.
int64_t fileStatus(const std::string& path);
// "<code>: The file “<path>” could not be <what>: <system text>." — the description of a
// failed file operation in log lines.
std::string fileErrorDescription(int code, const std::string& what, const std::string& path);
// The folder of the running executable, without a trailing "/".
std::string executableFolder();
}  // namespace kt
