// What the fuzz targets share: the toolkit started once on a headless host, small text
// windows, and a guard that makes every write into the video memory outside one window's
// blocks fail loudly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "display/window.h"

namespace fuzz {

// Starts a headless host and the toolkit once per process; the toolkit's log goes nowhere.
void startToolkit();

// A small font of grey glyphs for every code.
const t_Font& tinyFont();

// Sets up graphic window n (columns × lines cells of the tiny font at the given bit depth)
// once, and on every call puts its text state back to that of a fresh window.
t_Window& smallWindow(uint8_t n, int64_t bitDepth, int64_t columns, int64_t lines);

// Windows 0 to 5, one per bit depth (1, 4, 8, 16, 24, 32), of 16 × 7 cells: depthWindow(n)
// is window n put back to a fresh text state; setUpDepthWindows sets all six up before any
// guard.
constexpr uint8_t depthWindowCount = 6;
t_Window& depthWindow(uint8_t n);
void setUpDepthWindows();

// From its construction on, the video memory outside window n's pixel and text blocks is
// read-only where it fills whole pages, so a stray write crashes at once; the bytes outside
// the blocks on the remaining pages are compared when it ends. The pages stay read-only
// after it (the next guard changes only what differs): set up every window first, and call
// unlockVideoMemory before anything else writes into the memory.
class OutsideGuard {
public:
    explicit OutsideGuard(uint8_t window);
    ~OutsideGuard();
    OutsideGuard(const OutsideGuard&) = delete;
    OutsideGuard& operator=(const OutsideGuard&) = delete;

private:
    struct Piece {
        size_t offset;
        std::vector<uint8_t> bytes;
    };
    std::vector<Piece> pieces_;
};
void unlockVideoMemory();

// A check that holds in every build (fuzz targets are built without NDEBUG assumptions).
#define FUZZ_CHECK(condition)                                                                 \
    do {                                                                                      \
        if (!(condition)) {                                                                   \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

// Reads the fuzz input front to back; past its end every read gives 0.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t word() { return static_cast<uint16_t>(byte() << 8 | byte()); }
    bool empty() const { return at_ >= size_; }
    // The next count bytes (fewer at the end).
    std::vector<uint8_t> bytes(size_t count);
    std::vector<uint8_t> rest() { return bytes(size_ - at_); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace fuzz
