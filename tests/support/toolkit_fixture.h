// Shared set-up of the toolkit tests: one headless host for the whole test program, a way
// to read what the toolkit logs, and temporary folders.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "host/headless/headless_host.h"

namespace testing_support {

// The headless host of this test program, started on first use.
host::HeadlessHost& headless();

// Collects the toolkit's log lines while it lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    std::string text();
    std::vector<std::string> lines();

private:
    char* buffer_ = nullptr;
    size_t size_ = 0;
    std::FILE* stream_ = nullptr;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::string& path);

}  // namespace testing_support
