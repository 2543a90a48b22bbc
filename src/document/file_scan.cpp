#include "document/file_scan.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>

#include "files/file_ranges.h"

namespace document::detail {

// --- Holes -----------------------------------------------------------------------------

namespace {

bool endedBefore(int fd, int64_t offset) {
    struct stat info {};
    return ::fstat(fd, &info) != 0 || info.st_size <= offset;
}

}  // namespace

FileRun fileRunAt(int fd, int64_t offset, int64_t end, int64_t dataLimit) {
    const int64_t data = f_SeekData(fd, offset);
    if (data < 0) return {end, true, endedBefore(fd, offset)};
    if (data > offset && (data >= dataLimit || data - offset >= minimumHole)) return {std::min(data, end), true};
    // Data from offset on, over the short holes within it.
    for (int64_t at = data;;) {
        const int64_t hole = f_SeekHole(fd, at);
        if (hole >= dataLimit) return {dataLimit, false};
        const int64_t next = f_SeekData(fd, hole);
        if (next < 0 || next >= dataLimit || next - hole >= minimumHole) return {hole, false};
        at = next;
    }
}

// --- Mapped ranges ---------------------------------------------------------------------
//
// Why reading a file through a mapping is safe when the file is cut short underneath: a read
// of a mapped page that now lies past the file's end (or whose disk read fails) raises
// SIGBUS in the thread that reads, at once, at the instruction that reads. The handler below,
// installed once for the process, acts only when the address lies in the range that this
// same thread announced through a Reading (a thread-local pointer, initial-exec so that the
// handler reads it without the loader allocating); every other SIGBUS goes to the action
// that was there before, as if this file did not exist. For its own range it maps zeros over
// the pages from the faulting one to the end of the range (mmap with MAP_FIXED: one system
// call, no lock of the C library held or needed), notes the fault and returns: the read is
// made again and finds zeros. So the scan goes on exactly as a pread past the end goes on,
// with zeros and a flag, which the document turns into a failed read (the file counts as
// changed on disk, and a save refuses to make up the missing bytes). Nothing jumps out of the
// middle of memmem or past C++ frames. The mappings belong to one scanner on one thread and
// are private and read-only: no other thread reads them, and replacing their pages changes
// nothing anyone else sees. Should the zero mapping fail (the kernel out of memory), the
// previous action runs, which is what a read of a cut file without this guard would do.

namespace {

__attribute__((tls_model("initial-exec"))) thread_local MappedRange::Guard* activeGuard = nullptr;
struct sigaction previousAction {};
uintptr_t pageSize = 4096;
std::once_flag installed;

void onBusError(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    MappedRange::Guard* guard = activeGuard;
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    if (guard != nullptr && info->si_code > 0 && address >= guard->start && address < guard->end) {
        const uintptr_t page = address & ~(pageSize - 1);
        if (::mmap(reinterpret_cast<void*>(page), guard->end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
                   -1, 0) != MAP_FAILED) {
            guard->faulted = 1;
            errno = savedErrno;
            return;
        }
    }
    errno = savedErrno;
    if (previousAction.sa_flags & SA_SIGINFO) return previousAction.sa_sigaction(signal, info, context);
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN)
        return previousAction.sa_handler(signal);
    // A signal sent by someone, ignored before: still ignored.
    if (info->si_code <= 0 && previousAction.sa_handler == SIG_IGN) return;
    // The action before was the default one: put it back. A fault happens again when this
    // returns, a sent signal is delivered again once the handler has returned.
    ::sigaction(SIGBUS, &previousAction, nullptr);
    if (info->si_code <= 0) ::raise(signal);
}

void installHandler() {
    std::call_once(installed, [] {
        pageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        ::sigaction(SIGBUS, &action, &previousAction);
    });
}

}  // namespace

bool MappedRange::map(int fd, int64_t offset, int64_t count) {
    unmap();
    installHandler();
    const auto page = static_cast<int64_t>(pageSize);
    lead_ = offset % page;
    length_ = (lead_ + count + page - 1) / page * page;
    void* at = ::mmap(nullptr, static_cast<size_t>(length_), PROT_READ, MAP_PRIVATE, fd, offset - lead_);
    if (at == MAP_FAILED) {
        length_ = 0;
        return false;
    }
    // Only a range wholly in the page cache is read in place: one read from the disk through
    // page faults took two to three times as long as through pread, whose readahead the
    // kernel runs ahead of the copy. (MADV_SEQUENTIAL made the faults slower still.)
    resident_.resize(static_cast<size_t>(length_ / page));
    if (::mincore(at, static_cast<size_t>(length_), resident_.data()) != 0 ||
        std::any_of(resident_.begin(), resident_.end(), [](unsigned char r) { return (r & 1) == 0; })) {
        ::munmap(at, static_cast<size_t>(length_));
        length_ = 0;
        return false;
    }
    base_ = static_cast<uint8_t*>(at);
    guard_.start = reinterpret_cast<uintptr_t>(base_);
    guard_.end = guard_.start + static_cast<uintptr_t>(length_);
    guard_.faulted = 0;
    return true;
}

void MappedRange::unmap() {
    if (base_ != nullptr) ::munmap(base_, static_cast<size_t>(length_));
    base_ = nullptr;
    length_ = 0;
    guard_.start = guard_.end = 0;
    guard_.faulted = 0;
}

MappedRange::Reading::Reading(MappedRange& range) : previous_(activeGuard) {
    activeGuard = &range.guard_;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

MappedRange::Reading::~Reading() {
    std::atomic_signal_fence(std::memory_order_seq_cst);
    activeGuard = previous_;
}

}  // namespace document::detail
