// Shared set-up of the toolkit tests: one headless host for the whole test program, a way
// to read what the toolkit logs, and temporary folders.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "display/window.h"
#include "hosts/headless/headless_host.h"

namespace testing_support {

// The headless host of this test program, started on first use with the toolkit on it.
host::HeadlessHost& headless();

// Collects the toolkit's log lines while it lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    std::string text();

private:
    char* buffer_ = nullptr;
    size_t size_ = 0;
    std::FILE *stream_ = nullptr, *previous_ = nullptr;
};

// A fresh folder under the system's temporary folder (or under parent), removed with
// everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::string& parent = "");
    ~TempFolder();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets up graphic window n with the editor's font (columns × lines cells, 24 bits) and
// shows it; the cursor, colours and modes start afresh, and the update thread runs.
t_Window& textWindow(uint8_t n = 0, int64_t columns = 80, int64_t lines = 25);
// The text cursor's column and line.
inline std::pair<int64_t, int64_t> cursorOf(const t_Window& w) { return {w.TextHpos, w.TextVpos}; }
// Line y (from 1) of window n's text memory as UTF-8 of its codes, trailing blanks removed.
std::string screenLine(uint8_t n, int64_t y);
// The code and colour byte stored for cell (x, y).
uint8_t cellCode(uint8_t n, int64_t x, int64_t y);
uint8_t cellColour(uint8_t n, int64_t x, int64_t y);
// The codes of cells from … to of window n's line y, one character (byte) each.
std::string cells(uint8_t n, int64_t y, int64_t from, int64_t to);

// Polls done every millisecond until it holds or five seconds have passed; whether it holds.
bool waitUntil(const std::function<bool()>& done);
// Appends a key event of this value to the key queue, as a key press does.
void queueKey(int64_t value);

// The number that environment variable `name` holds, or fallback when it is unset or empty.
inline int64_t environmentNumber(const char* name, int64_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoll(value, nullptr, 10) : fallback;
}

// While it lives, files are opened as an ordinary user's: a test run as root takes the
// effective ids of nobody (for every thread of the process) and gets its own back after.
struct AsOrdinaryUser {
    const bool root = ::geteuid() == 0;
    AsOrdinaryUser() { root && (::setegid(65534) != 0 || ::seteuid(65534) != 0) ? std::abort() : void(); }
    ~AsOrdinaryUser() { root && (::seteuid(0) != 0 || ::setegid(0) != 0) ? std::abort() : void(); }
};

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::string& path);

}  // namespace testing_support
