// Whole-file input and output, path helpers and the host's file panels.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/bytes.h"

// Read a whole file; empty on failure (with one log line) and for an empty file.
kt::ByteArray getbinaryfromfile(const std::string& path);
kt::ByteArray gettextfromfile(const std::string& path);
// The same, telling a failed read (error set to the system's code) from an empty file (0).
kt::ByteArray gettextfromfile(const std::string& path, int& error);
// Write a whole file; 0 on success, otherwise the error code (with one log line). The file
// is replaced in one step: a failed write leaves the old content in place.
int64_t setbinarytofile(const std::string& path, std::span<const uint8_t> bytes);

std::string f_PathDirectory(const std::string& path);
std::string f_PathName(const std::string& path);
std::string f_PathExtension(const std::string& path);
std::string f_PathBaseName(const std::string& path);
std::string f_HomeFolder();

std::vector<std::string> f_OpenPanel(const std::string& title, const std::string& message,
                                     const std::string& fileTypes, bool multiple, bool files, bool folders);
std::string f_OpenPanelPath(const std::string& title, const std::string& message, const std::string& fileTypes,
                            bool files, bool folders);
std::string f_SavePanel(const std::string& name, const std::string& title, const std::string& message,
                        const std::string& fileTypes);
// The save panel from any thread: the panel runs on the main thread while the caller waits.
std::string f_SavePanelFromAnyThread(const std::string& name, const std::string& title,
                                     const std::string& message, const std::string& fileTypes);

namespace kt {
// A panel's file URL as a path: percent escapes decoded, composed to normalisation form C,
// a leading "file://" dropped.
std::string panelUrlToPath(const std::string& url);
// The reverse, as the hosts hand paths back: "file://" and the percent-encoded path.
std::string pathToFileUrl(const std::string& path);
}  // namespace kt
