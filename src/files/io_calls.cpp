#include "files/io_calls.h"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace io {
namespace {

std::atomic<int64_t> callsLeft{0};
std::atomic<int> failure{0};
std::atomic<bool> happened{false};

// True (with errno set) when this call is the one to fail.
bool fails() {
    if (callsLeft.load(std::memory_order_relaxed) <= 0 || callsLeft.fetch_sub(1) != 1) return false;
    happened = true;
    errno = failure;
    return true;
}

}  // namespace

void failCall(int64_t k, int error) {
    failure = error;
    happened = false;
    callsLeft = k;
}

bool failureHappened() { return happened; }

int open(const char* path, int flags, mode_t mode) { return fails() ? -1 : ::open(path, flags, mode); }
int mkostemp(char* pattern, int flags) { return fails() ? -1 : ::mkostemp(pattern, flags); }
ssize_t write(int fd, const void* bytes, size_t count) { return fails() ? -1 : ::write(fd, bytes, count); }
ssize_t pwrite(int fd, const void* bytes, size_t count, off_t at) {
    return fails() ? -1 : ::pwrite(fd, bytes, count, at);
}
ssize_t copyFileRange(int in, off_t* inAt, int out, off_t* outAt, size_t count) {
    return fails() ? -1 : ::copy_file_range(in, inAt, out, outAt, count, 0);
}
int fsync(int fd) { return fails() ? -1 : ::fsync(fd); }
int ftruncate(int fd, off_t size) { return fails() ? -1 : ::ftruncate(fd, size); }
int fallocate(int fd, int mode, off_t at, off_t count) { return fails() ? -1 : ::fallocate(fd, mode, at, count); }
int rename(const char* from, const char* to) { return fails() ? -1 : std::rename(from, to); }
int unlink(const char* path) { return fails() ? -1 : ::unlink(path); }

}  // namespace io
