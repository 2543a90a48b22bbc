// Writes a window picture as a PNG file.
#pragma once

#include <string>

#include "platform/platform.h"

namespace host {

// True when the file was written; a failure leaves no partial file behind.
bool writePng(const std::string& path, const Image& image);

}  // namespace host
