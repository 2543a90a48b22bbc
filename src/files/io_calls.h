// The system calls by which saves change files, each made through one place, so that a test
// can make any one of them fail as a failing disk or a full file system would.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <cstdint>

namespace io {

int open(const char* path, int flags, mode_t mode = 0);
int mkostemp(char* pattern, int flags);  // counted as an open
ssize_t write(int fd, const void* bytes, size_t count);
ssize_t pwrite(int fd, const void* bytes, size_t count, off_t at);
ssize_t copyFileRange(int in, off_t* inAt, int out, off_t* outAt, size_t count);
int fsync(int fd);
int ftruncate(int fd, off_t size);
int fallocate(int fd, int mode, off_t at, off_t count);
int rename(const char* from, const char* to);
int unlink(const char* path);

// For tests: the k-th of these calls from now on (1: the next) fails with error instead of
// being made; 0 makes them all work again.
void failCall(int64_t k, int error);
// Whether the failure armed last has happened.
bool failureHappened();

}  // namespace io
