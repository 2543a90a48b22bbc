// Saving a whole file, and the user's home folder.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/file_primitives.h"

// Write a whole file; 0 on success, otherwise the error code (with one log line). The file
// is replaced in one step: a failed write leaves the old content in place.
int64_t setbinarytofile(const std::string& path, std::span<const uint8_t> bytes);

std::string f_HomeFolder();
