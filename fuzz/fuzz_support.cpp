#include "fuzz/fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "app/log.h"
#include "app/startup.h"
#include "display/setup.h"
#include "hosts/headless/headless_host.h"
#include "display/placement.h"
#include "input/events.h"
#include "terminal/area.h"

namespace fuzz {

void startToolkit() {
    static bool started = [] {
        static std::FILE* nowhere = std::fopen("/dev/null", "w");
        kt::setLogStream(nowhere);
        auto* host = new host::HeadlessHost(OSTRAKONIX_FUZZ_RESOURCES);  // lives as long as the process
        host->start();
        app::startToolkit();
        kt::waitForMemory();
        return true;
    }();
    (void)started;
}

const t_Font& tinyFont() {
    // Glyphs of 3 × 5 pixels: an odd width puts glyph edges inside the bytes of the 1- and
    // 4-bit pixel formats, and small glyphs keep the runs fast. Every coverage value occurs.
    static const t_Font font = [] {
        t_Font f;
        f.Format = 2;
        f.Start = 0;
        f.End = 255;
        f.Width = 3;
        f.Height = 5;
        f.Data.resize(256 * 15);
        for (size_t i = 0; i < f.Data.size(); ++i) f.Data[i] = static_cast<uint8_t>(i * 97 % 7 == 0 ? 0 : i * 31);
        return f;
    }();
    return font;
}

t_Window& smallWindow(uint8_t n, int64_t bitDepth, int64_t columns, int64_t lines) {
    startToolkit();
    t_Window& w = kt::windowRecord(n);
    const t_Font& font = tinyFont();
    if (!w.Initialized || w.BitDepth != bitDepth || w.TextWidth != columns || w.TextHeight != lines) {
        unlockVideoMemory();
        kt::setUpWindow(n, bitDepth, true, font.Width * columns, font.Height * lines, 8, 8, font, true);
        FUZZ_CHECK(w.Initialized && w.TextMemoryStart >= 0 && w.TextWidth == columns && w.TextHeight == lines);
    }
    t_FullArea(n);
    w.TextHpos = w.TextVpos = 1;
    w.TextColor = 192;
    w.TextInverse = false;
    w.TextDisplayMode = 0;
    w.TextCursorLevel = 0;
    w.TextRedirectOutput = 1;
    w.ScrollLock = false;
    kt::keyQueue().clear();
    return w;
}

t_Window& depthWindow(uint8_t n) {
    static constexpr int64_t bitDepths[depthWindowCount] = {1, 4, 8, 16, 24, 32};
    return smallWindow(n, bitDepths[n % depthWindowCount], 16, 7);
}

void setUpDepthWindows() {
    for (uint8_t n = 0; n < depthWindowCount; ++n) depthWindow(n);
}

std::vector<uint8_t> Input::bytes(size_t count) {
    count = std::min(count, size_ - std::min(at_, size_));
    std::vector<uint8_t> out(data_ + at_, data_ + at_ + count);
    at_ += count;
    return out;
}

namespace {

struct Layout {
    uintptr_t base;      // the first page boundary at or after the memory's start
    size_t pageSize;
    size_t pageCount;    // whole pages inside the memory
};

Layout layout() {
    const auto& memory = kt::display().memory;
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<uintptr_t>(memory.data());
    const uintptr_t base = (start + page - 1) / page * page;
    const uintptr_t end = (start + memory.size()) / page * page;
    return {base, page, end > base ? (end - base) / page : 0};
}

using PageRanges = std::vector<std::pair<size_t, size_t>>;  // [first, last) page indexes

// The pages left writable by the last guard; none known while everything is writable.
// Protection is changed only for the pages of the last and the next window, so that a run
// costs a few system calls, not a pass over 16 MiB.
std::optional<PageRanges>& writablePages() {
    static std::optional<PageRanges> pages;
    return pages;
}

void protect(const Layout& l, size_t first, size_t last, int protection) {
    if (last <= first) return;
    auto* at = reinterpret_cast<void*>(l.base + first * l.pageSize);
    FUZZ_CHECK(::mprotect(at, (last - first) * l.pageSize, protection) == 0);
}

void keepWritableOnly(const PageRanges& wanted) {
    const Layout l = layout();
    auto& current = writablePages();
    if (current && *current == wanted) return;
    if (current) {
        for (auto [first, last] : *current) protect(l, first, last, PROT_READ);
    } else {
        protect(l, 0, l.pageCount, PROT_READ);
    }
    for (auto [first, last] : wanted) protect(l, first, last, PROT_READ | PROT_WRITE);
    current = wanted;
}

}  // namespace

void unlockVideoMemory() {
    const Layout l = layout();
    protect(l, 0, l.pageCount, PROT_READ | PROT_WRITE);
    writablePages().reset();
}

OutsideGuard::OutsideGuard(uint8_t window) {
    const t_Window& w = kt::windowRecord(window);
    const auto& memory = kt::display().memory;
    const Layout l = layout();
    const size_t first = l.base - reinterpret_cast<uintptr_t>(memory.data());  // offset of page 0

    // The window's blocks as [from, to) offsets.
    std::vector<std::pair<size_t, size_t>> blocks{
        {static_cast<size_t>(w.MemoryStart), static_cast<size_t>(w.MemoryEnd) + 1}};
    if (w.TextMemoryStart >= 0)
        blocks.push_back({static_cast<size_t>(w.TextMemoryStart), static_cast<size_t>(w.TextMemoryEnd) + 1});
    std::sort(blocks.begin(), blocks.end());

    // A page stays writable when it holds a byte of a block; the bytes outside the blocks on
    // those pages (and before the first and after the last whole page) are copied.
    PageRanges writable;
    for (auto [from, to] : blocks) {
        const size_t lowPage = from < first ? 0 : (from - first) / l.pageSize;
        const size_t highPage = to <= first ? 0 : std::min(l.pageCount, (to - first + l.pageSize - 1) / l.pageSize);
        if (highPage <= lowPage) continue;
        if (!writable.empty() && lowPage <= writable.back().second)
            writable.back().second = std::max(writable.back().second, highPage);
        else
            writable.push_back({lowPage, highPage});
    }
    // [from, to) less the blocks, copied piece by piece.
    auto copyUnlocked = [&](size_t from, size_t to) {
        for (auto [start, end] : blocks) {
            if (start > from && from < to)
                pieces_.push_back({from, {memory.begin() + static_cast<std::ptrdiff_t>(from),
                                          memory.begin() + static_cast<std::ptrdiff_t>(std::min(start, to))}});
            from = std::max(from, end);
        }
        if (from < to)
            pieces_.push_back({from, {memory.begin() + static_cast<std::ptrdiff_t>(from),
                                      memory.begin() + static_cast<std::ptrdiff_t>(to)}});
    };
    copyUnlocked(0, std::min(first, memory.size()));
    for (auto [lowPage, highPage] : writable) copyUnlocked(first + lowPage * l.pageSize, first + highPage * l.pageSize);
    copyUnlocked(first + l.pageCount * l.pageSize, memory.size());
    keepWritableOnly(writable);
}

OutsideGuard::~OutsideGuard() {
    // The pages stay locked for the next run; only the copies are compared.
    const auto& memory = kt::display().memory;
    for (const Piece& piece : pieces_)
        FUZZ_CHECK(std::memcmp(memory.data() + piece.offset, piece.bytes.data(), piece.bytes.size()) == 0);
}

}  // namespace fuzz
