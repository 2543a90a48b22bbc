// Saving after one changed byte through the whole editor, driven by a script on the headless
// host as a user's keys would: a 1 GiB file and a 100 GiB sparse image, each written in place
// through a journal, beside what a save that writes the whole file costs (one byte inserted)
// and what the bare writes cost (a journal's floor: a small file made and synced with its
// folder, the byte written and synced; and one pwrite and one fsync with no journal). The files are made
// once in /var/tmp (not a tmpfs: syncs cost what they cost on a disk).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/startup.h"
#include "app/threads.h"
#include "editor/editor.h"
#include "headless_start.h"
#include "hosts/headless/script_runner.h"

namespace {

const int64_t gib = int64_t{1} << 30;
const std::string folder = "/var/tmp/ostrakonix-save-bench";

host::HeadlessHost& editorHost() {
    static host::HeadlessHost& host = [&]() -> host::HeadlessHost& {
        host::HeadlessHost& started = bench::startHeadlessToolkit();
        startprocess(editor::mainProgram, app::programStackSize);
        return started;
    }();
    return host;
}

// Runs script steps in the editor; false when one failed.
bool run(const std::string& steps) {
    const std::string path = folder + "/steps.script";
    std::ofstream(path) << steps;
    static std::FILE* quiet = std::fopen("/dev/null", "w");
    return host::runScript(editorHost(), path, quiet) == 0;
}

// Opens a file in the editor; the first time, a key first leaves the title screen (later it
// would be typed into the empty buffer).
bool openInEditor(const std::string& path) {
    static bool started = false;
    const std::string steps = (started ? "" : "type x\n") + std::string("open ") + path + "\n";
    started = true;
    return run(steps);
}

// A file of random bytes, or (sparse) one that is all hole but for a block of data at its
// start; written once and kept for later runs.
std::string makeFile(const std::string& name, int64_t size, bool sparse) {
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/" + name;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && info.st_size == size) return path;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<uint8_t> block(1 << 20);
    std::mt19937_64 random(9);
    for (auto& b : block) b = static_cast<uint8_t>(random());
    for (int64_t done = 0; done < (sparse ? 1 : size); done += static_cast<int64_t>(block.size()))
        if (::pwrite(fd, block.data(), block.size(), done) != static_cast<ssize_t>(block.size())) std::abort();
    if (::ftruncate(fd, size) != 0) std::abort();
    ::close(fd);
    return path;
}

ino_t inodeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_ino;
}

// Opens the file in the editor, then per iteration changes its first byte (or inserts one)
// and times ^S until the editor is idle again.
void editorSave(benchmark::State& state, const std::string& path, bool insert) {
    if (!openInEditor(path)) state.SkipWithError("the editor did not open the file");
    const ino_t inode = inodeOf(path);
    bool sameInode = true, saved = true;
    char typed = 'a';
    for (auto _ : state) {
        state.PauseTiming();
        typed = typed == 'a' ? 'b' : 'a';
        run(insert ? std::string("key ^B\nkey ^I\n") : std::string("key ^B\ntype ") + typed + "\n");
        state.ResumeTiming();
        run("key ^S\n");
        editorHost().waitUntilIdle(std::chrono::minutes(5));  // a whole copy of a large file may take long
        state.PauseTiming();
        saved = saved && !editor::state().Modified;
        sameInode = sameInode && inodeOf(path) == inode;
        state.ResumeTiming();
    }
    run("key ^X\n");
    if (insert) std::filesystem::remove(path);  // grown by the inserted bytes: made afresh next time
    state.counters["saved"] = saved;
    state.counters["same_inode"] = sameInode;
}

void BM_EditorSaveOneByte1GiB(benchmark::State& state) {
    editorSave(state, makeFile("random-1g.bin", gib, false), false);
}
void BM_EditorSaveOneByte100GiBSparse(benchmark::State& state) {
    editorSave(state, makeFile("sparse-100g.img", 100 * gib, true), false);
}
void BM_EditorSaveInsertedByte1GiB(benchmark::State& state) {
    editorSave(state, makeFile("random-1g-insert.bin", gib, false), true);
}

// The bare minimum for the same change: one byte written and the file synced.
void BM_PwriteAndFsync1GiB(benchmark::State& state) {
    const int fd = ::open(makeFile("random-1g.bin", gib, false).c_str(), O_RDWR);
    char byte = 'a';
    for (auto _ : state) {
        byte = byte == 'a' ? 'b' : 'a';
        if (::pwrite(fd, &byte, 1, 0) != 1 || ::fsync(fd) != 0) state.SkipWithError("write failed");
    }
    ::close(fd);
}

// The floor of any crash-safe save of one byte in place, without the editor: a small file
// made, written and synced with its folder, the byte written and the file synced, the small
// file removed.
void BM_JournalFloor1GiB(benchmark::State& state) {
    const std::string path = makeFile("random-1g.bin", gib, false), journal = folder + "/floor-journal";
    const int fd = ::open(path.c_str(), O_RDWR), dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    char byte = 'a';
    for (auto _ : state) {
        byte = byte == 'a' ? 'b' : 'a';
        const int j = ::open(journal.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        const char record[74] = {};
        if (j < 0 || ::write(j, record, sizeof record) != sizeof record || ::fsync(j) != 0 || ::fsync(dir) != 0 ||
            ::pwrite(fd, &byte, 1, 0) != 1 || ::fsync(fd) != 0 || ::unlink(journal.c_str()) != 0)
            state.SkipWithError("write failed");
        ::close(j);
    }
    ::close(fd);
    ::close(dir);
}

// What any key costs through the script and the editor's wait for input: ^B on the open file.
void BM_EditorKeyRoundTrip(benchmark::State& state) {
    openInEditor(makeFile("random-1g.bin", gib, false));
    for (auto _ : state) run("key ^B\n");
    run("key ^X\n");
}

BENCHMARK(BM_EditorSaveOneByte1GiB)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_EditorSaveOneByte100GiBSparse)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_EditorKeyRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_JournalFloor1GiB)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_PwriteAndFsync1GiB)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_EditorSaveInsertedByte1GiB)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
