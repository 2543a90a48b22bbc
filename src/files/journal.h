// Writing changed bytes into a file in place, safe against a crash at any moment through a
// journal: the file is always its old or its new content once it is opened again.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "files/save.h"

// New bytes for a file, from position `at` on (held by the caller).
struct JournalChange {
    int64_t at;
    std::span<const uint8_t> bytes;
};

// Writes the changes into the file at path, open for reading and writing in fd: first a
// journal (the file's identity, the positions, the old and the new bytes, a checksum) is
// written beside the file, or in the cache folder when the folder takes no new file, and
// synced with its folder; then the bytes are written into the file and it is synced; then the
// journal is removed. 0 or an errno. touched is set once the file may have been written: a
// failure after that leaves the journal, which finishes the save when the file is next opened.
int f_WriteJournaled(const std::string& path, int fd, const std::vector<JournalChange>& changes, bool& touched);

// To be run before a file is opened: a journal left for it by a save that was cut short is
// finished when it is complete and each byte it names holds its old or its new value (with a
// log line), and removed otherwise (an incomplete journal means the file was not touched).
void f_FinishJournal(const std::string& path);

// Removes the journals of the file at path (of identity file) that an earlier save left: a
// save that rewrites the file whole makes them wrong.
void f_DropJournals(const std::string& path, const FileIdentity& file);

// The journal of the file at path beside it (".NAME.ostrakonix-journal"), and where it goes
// when the folder takes no new file.
std::string f_JournalBeside(const std::string& path);
std::string f_JournalInCache(const std::string& path);
