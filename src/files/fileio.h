// Saving a whole file, and the user's home folder.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/file_primitives.h"

// Write a whole file through f_SaveFile; 0 on success, otherwise the error code (with one
// log line). A failed write leaves the old content in place, or the new content whole in a
// temporary file that a log line names.
int64_t setbinarytofile(const std::string& path, std::span<const uint8_t> bytes);

std::string f_HomeFolder();
