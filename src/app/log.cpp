#include "app/log.h"

#include <mutex>

namespace kt {
namespace {
std::mutex logMutex;
std::FILE* stream = nullptr;

std::FILE* current() { return stream ? stream : stdout; }
}  // namespace

void logLine(std::string_view text) {
    std::lock_guard lock(logMutex);
    std::FILE* out = current();
    std::fwrite(text.data(), 1, text.size(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

void logText(std::string_view text) {
    std::lock_guard lock(logMutex);
    std::FILE* out = current();
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

void setLogStream(std::FILE* s) {
    std::lock_guard lock(logMutex);
    stream = s;
}

std::FILE* logStream() { return current(); }

std::string hex8(int64_t value) {
    static const char digits[] = "0123456789ABCDEF";
    auto v = static_cast<uint32_t>(value);
    std::string out = "$00000000";
    for (int i = 8; i >= 1; --i) {
        out[i] = digits[v & 15];
        v >>= 4;
    }
    return out;
}


}  // namespace kt
