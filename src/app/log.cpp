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

std::string utf8Of(uint32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

}  // namespace kt
