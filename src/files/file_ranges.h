// Reading, writing and copying ranges of files, for every layer that does: whole counts
// through short reads and writes and EINTR, the holes of a file found and left out of
// copies, and every write made through io:: so that a test can make any of them fail.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

// Writes count bytes at `at` of the file: 0 or an errno (EIO when it takes no more).
int f_WriteAt(int fd, const void* bytes, int64_t count, int64_t at);

// Reads count bytes at `at` of the file: 0, or an errno (EIO when it ends first). done, when
// given, is set to how many bytes were read.
int f_ReadAt(int fd, void* out, int64_t count, int64_t at, int64_t* done = nullptr);

// The first data of the file at or after offset, −1 when only a hole (or its end) follows;
// offset itself where the file system cannot tell its holes.
int64_t f_SeekData(int fd, int64_t offset);
// The end of the data at offset (where the next hole or the file's end begins); INT64_MAX
// when the file system cannot tell.
int64_t f_SeekHole(int fd, int64_t offset);

// The ranges of [from, end) of the file that hold data, in order; the whole where the file
// system cannot tell its holes.
std::vector<std::pair<int64_t, int64_t>> f_DataRanges(int fd, int64_t from, int64_t end);

// Copies count bytes at `from` of the file in to `to` of out, leaving out in's holes (out
// must read zeros there: emptied, or past its end). The kernel copies where the two files let
// it, else the bytes go through a buffer. 0 or an errno; readSide, when given, is set when the
// failure was reading in (or in ended before count bytes), not writing out. progress, when
// given, is told after each block how far out has been written.
int f_CopyRange(int in, int64_t from, int out, int64_t to, int64_t count, bool* readSide = nullptr,
                const std::function<void(int64_t written)>& progress = {});
