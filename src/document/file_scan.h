// Reading a file front to back for a long scan: where its data lies and where its holes are,
// and its ranges read in place through a mapping that a file cut short underneath cannot crash.
#pragma once

#include <csignal>
#include <cstdint>
#include <vector>

namespace document::detail {

// A run of a file from some offset: data, or a hole (zeros), up to end.
struct FileRun {
    int64_t end = 0;
    bool hole = false;
    // The file ended before the run began: it was cut short since it was opened. Its bytes
    // read as zeros, as a short read gives them.
    bool ended = false;
};

// The run of fd that begins at offset: a hole ends at end at the latest, data at dataLimit
// (≤ end). Holes shorter than minimumHole count as data: asking where they end costs more
// than reading their zeros.
FileRun fileRunAt(int fd, int64_t offset, int64_t end, int64_t dataLimit);
constexpr int64_t minimumHole = 64 << 10;

// A range of a file mapped for reading, so that a scan reads the page cache in place instead
// of copying it out first (the copy was a second pass over every byte).
class MappedRange {
public:
    MappedRange() = default;
    ~MappedRange() { unmap(); }
    MappedRange(const MappedRange&) = delete;
    MappedRange& operator=(const MappedRange&) = delete;

    // Maps count bytes of fd from offset, in place of what was mapped before; false when the
    // file cannot be mapped or the range is not all in the page cache (its bytes are then to
    // be read another way).
    bool map(int fd, int64_t offset, int64_t count);
    void unmap();
    // The byte at the offset given to map.
    const uint8_t* data() const { return base_ + lead_; }
    // Whether a read in the range has found the file ended (or failing) since it was mapped.
    bool faulted() const { return guard_.faulted != 0; }

    // What the signal handler looks at: the mapped addresses, and whether it replaced some.
    struct Guard {
        uintptr_t start = 0, end = 0;
        volatile std::sig_atomic_t faulted = 0;
    };

    // While a Reading lives, a read in the range by this thread that finds the file ended
    // reads zeros and sets faulted, instead of ending the process with SIGBUS.
    class Reading {
    public:
        explicit Reading(MappedRange& range);
        ~Reading();
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;

    private:
        Guard* previous_;
    };

private:
    uint8_t* base_ = nullptr;
    int64_t lead_ = 0;    // from the page boundary mapped to the offset asked for
    int64_t length_ = 0;  // whole pages
    std::vector<unsigned char> resident_;
    Guard guard_;
};

}  // namespace document::detail
