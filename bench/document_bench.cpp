// The document engine on large files: opening and showing the first screen, searching,
// saving after one changed byte, and changing a million places (and undoing that), each
// beside what the plain way costs. The files are made once in /var/tmp (not a small tmpfs).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/save.h"
#include "document/search_algorithms.h"

namespace {

const int64_t gib = int64_t{1} << 30;

const std::string& folder() {
    static const std::string path = [] {
        std::string p = "/var/tmp/ostrakonix-document-bench";
        std::filesystem::create_directories(p);
        return p;
    }();
    return path;
}

// A file of random bytes (or of one byte with marks), written once and kept for later runs.
std::string makeFile(const std::string& name, int64_t size, bool marks) {
    const std::string path = folder() + "/" + name;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && info.st_size == size) return path;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<uint8_t> block(1 << 20);
    std::mt19937_64 random(5);
    for (int64_t done = 0; done < size; done += static_cast<int64_t>(block.size())) {
        if (marks) {
            // 0x11 everywhere, 0xAB every 67th byte: 1,000,000 of them in 64 MiB.
            for (size_t i = 0; i < block.size(); ++i)
                block[i] = (done + static_cast<int64_t>(i)) % 67 == 0 && (done + static_cast<int64_t>(i)) / 67 < 1000000
                               ? 0xAB
                               : 0x11;
        } else {
            for (size_t i = 0; i < block.size(); i += 8) {
                const uint64_t value = random();
                std::memcpy(block.data() + i, &value, 8);
            }
        }
        if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) std::abort();
    }
    ::close(fd);
    return path;
}

const std::string& bigFile() {
    static const std::string path = makeFile("random-1g.bin", gib, false);
    return path;
}

double residentMiB() {
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1 << 20);
}

// Keeps the page cache warm for the file, as a second look at a file finds it.
void warm(const std::string& path) {
    static std::string warmed;
    if (warmed == path) return;
    int error = 0;
    auto doc = document::Document::open(path, error);
    std::vector<uint8_t> nothing{0xFE, 0xED, 0xFA, 0xCE, 0x01, 0x02, 0x03, 0x04, 0x05};
    doc->findExact(nothing, 0);
    warmed = path;
}

// Opening 1 GiB and reading the first screen (16 × 25 bytes), beside a tiny file.
void openFirstScreen(benchmark::State& state, const std::string& path) {
    const double before = residentMiB();
    double grown = 0;
    for (auto _ : state) {
        int error = 0;
        auto doc = document::Document::open(path, error);
        uint8_t screen[400];
        benchmark::DoNotOptimize(doc->read(0, 400, screen));
        grown = std::max(grown, residentMiB() - before);
    }
    state.counters["rss_growth_MiB"] = grown;
}
void BM_OpenFirstScreen1GiB(benchmark::State& state) { openFirstScreen(state, bigFile()); }
void BM_OpenFirstScreenTiny(benchmark::State& state) {
    static const std::string tiny = makeFile("tiny.bin", 1000, false);
    openFirstScreen(state, tiny);
}
BENCHMARK(BM_OpenFirstScreen1GiB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenFirstScreenTiny)->Unit(benchmark::kMicrosecond);

// What reading the whole file into fresh memory costs (the old way of loading).
void BM_ReadWhole1GiB(benchmark::State& state) {
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[gib]);
        const int fd = ::open(bigFile().c_str(), O_RDONLY);
        int64_t done = 0;
        while (done < gib) {
            const ssize_t n = ::read(fd, buffer.get() + done, static_cast<size_t>(gib - done));
            if (n <= 0) break;
            done += n;
        }
        ::close(fd);
        benchmark::DoNotOptimize(buffer.get());
    }
}
BENCHMARK(BM_ReadWhole1GiB)->Unit(benchmark::kMillisecond);

// A search of 1 GiB in the page cache for a pattern that is not there.
const std::vector<uint8_t> absent{'O', 's', 't', 'r', 'a', 'k', 'o', 'n', 'i', 'x', '!', 0x00, 0xFF};

void BM_SearchExact1GiB(benchmark::State& state) {
    warm(bigFile());
    int error = 0;
    auto doc = document::Document::open(bigFile(), error);
    for (auto _ : state)
        if (doc->findExact(absent, 0) != -1) state.SkipWithError("found");
    state.SetBytesProcessed(state.iterations() * gib);
}
void BM_SearchFolded1GiB(benchmark::State& state) {
    warm(bigFile());
    int error = 0;
    auto doc = document::Document::open(bigFile(), error);
    const auto capitals = document::search::capitals(absent);
    for (auto _ : state)
        if (doc->findFolded(capitals, 0) != -1) state.SkipWithError("found");
    state.SetBytesProcessed(state.iterations() * gib);
}
// What the searches are held against: the file mapped whole and searched by glibc's memmem
// (exact and case-blind alike).
void BM_MmapMemmem1GiB(benchmark::State& state) {
    warm(bigFile());
    const int fd = ::open(bigFile().c_str(), O_RDONLY);
    for (auto _ : state) {
        void* map = ::mmap(nullptr, static_cast<size_t>(gib), PROT_READ, MAP_PRIVATE, fd, 0);
        if (::memmem(map, static_cast<size_t>(gib), absent.data(), absent.size()) != nullptr)
            state.SkipWithError("found");
        ::munmap(map, static_cast<size_t>(gib));
    }
    ::close(fd);
    state.SetBytesProcessed(state.iterations() * gib);
}
BENCHMARK(BM_SearchExact1GiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchFolded1GiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MmapMemmem1GiB)->Unit(benchmark::kMillisecond);

// Saving 1 GiB after one changed byte, synced, beside cp and sync of the same file.
void BM_Save1GiBOneByteChanged(benchmark::State& state) {
    warm(bigFile());
    const std::string target = folder() + "/saved.bin";
    double grown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        int error = 0;
        auto doc = document::Document::open(bigFile(), error);
        doc->overwrite(gib / 2, 0x42);
        const double before = residentMiB();
        state.ResumeTiming();
        if (document::saveDocument(*doc, target,
                                   [&](int64_t, int64_t) { grown = std::max(grown, residentMiB() - before); }) != 0)
            state.SkipWithError("save failed");
    }
    state.counters["rss_growth_MiB"] = grown;
    ::unlink(target.c_str());
}
void BM_CpAndSync1GiB(benchmark::State& state) {
    warm(bigFile());
    const std::string target = folder() + "/copied.bin";
    const std::string command = "cp '" + bigFile() + "' '" + target + "' && sync '" + target + "'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
    ::unlink(target.c_str());
}
BENCHMARK(BM_Save1GiBOneByteChanged)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CpAndSync1GiB)->Unit(benchmark::kMillisecond)->Iterations(3);

// A 128 MiB file saved 8 times with an overwritten and an inserted byte each: the disk space
// and the descriptors the editor holds afterwards (on a tmpfs of its own where one can be
// mounted, so that nothing else moves the figure), and whether undo reaches back across
// all 8 saves.
void BM_EightSavesOf128MiB(benchmark::State& state) {
    const std::string place = folder() + "/eight-saves";
    std::filesystem::create_directories(place);
    const bool mounted = ::mount("tmpfs", place.c_str(), "tmpfs", 0, "size=1g") == 0;
    const std::string path = place + "/data.bin", source = makeFile("random-128m.bin", 128 << 20, false);
    auto descriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    auto freeBytes = [&] {
        struct statvfs info {};
        ::statvfs(place.c_str(), &info);
        return static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize);
    };
    double diskGrowth = 0, descriptorGrowth = 0, undone = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
        const double diskBefore = freeBytes();
        const auto descriptorsBefore = descriptors();
        int error = 0;
        auto doc = document::Document::open(path, error);
        state.ResumeTiming();
        for (int i = 0; i < 8; ++i) {
            doc->overwrite(int64_t{i} << 24, 0x42);
            doc->insert(i * 1000, std::vector<uint8_t>{0x43});
            if (document::saveDocument(*doc, path) != 0) state.SkipWithError("save failed");
        }
        state.PauseTiming();
        diskGrowth = (diskBefore - freeBytes()) / (1 << 20);
        descriptorGrowth = static_cast<double>(descriptors() - descriptorsBefore);
        while (doc->undo()) {
        }
        std::vector<uint8_t> content(128 << 20), original(128 << 20);
        doc->read(0, doc->size(), content.data());
        const int fd = ::open(source.c_str(), O_RDONLY);
        undone = doc->size() == (128 << 20) && ::pread(fd, original.data(), original.size(), 0) == 128 << 20 &&
                 content == original;
        ::close(fd);
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["disk_growth_MiB"] = diskGrowth;
    state.counters["descriptor_growth"] = descriptorGrowth;
    state.counters["undo_across_8_saves_ok"] = undone;
    state.counters["own_tmpfs"] = mounted;
    if (mounted) ::umount2(place.c_str(), MNT_DETACH);
    std::filesystem::remove_all(place);
}
BENCHMARK(BM_EightSavesOf128MiB)->Unit(benchmark::kMillisecond)->Iterations(1);

// Change all of 1,000,000 one-byte places into two bytes in 64 MiB, and its undo.
void BM_ChangeAll1M(benchmark::State& state) {
    static const std::string path = makeFile("marks-64m.bin", 64 << 20, true);
    warm(path);
    const std::vector<uint8_t> pattern{0xAB}, change{0xCD, 0xEF};
    const bool undo = state.range(0) == 1;
    for (auto _ : state) {
        state.PauseTiming();
        int error = 0;
        auto doc = document::Document::open(path, error);
        if (!undo) state.ResumeTiming();
        const auto result = doc->changeAll(0, pattern, change, true);
        if (undo) {
            state.ResumeTiming();
            doc->undo();
        }
        state.PauseTiming();
        if (result.changes != 1000000 || doc->size() != (undo ? 64 << 20 : (64 << 20) + 1000000))
            state.SkipWithError("wrong result");
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ChangeAll1M)->Arg(0)->ArgName("undo")->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// Filling 1 GiB with a pattern and deleting 1 GiB, each one step and its undo: pieces, not
// copies, so neither time nor memory grows with the range (a sparse file: nothing is read).
void BM_Ranges1GiB(benchmark::State& state) {
    static const std::string path = [] {
        const std::string p = folder() + "/sparse-1g.bin";
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0 || ::ftruncate(fd, gib) != 0) std::abort();
        ::close(fd);
        return p;
    }();
    const bool erase = state.range(0) == 1;
    const std::vector<uint8_t> pattern{0xDE, 0xAD, 0xBE};
    const double before = residentMiB();
    double grown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        int error = 0;
        auto doc = document::Document::open(path, error);
        state.ResumeTiming();
        const bool done = erase ? doc->erase(1, gib - 2) : doc->fill(1, gib - 2, pattern);
        doc->undo();
        doc->redo();
        state.PauseTiming();
        grown = std::max(grown, residentMiB() - before);
        if (!done || doc->size() != (erase ? 2 : gib) || (!erase && doc->byteAt(gib - 2) != pattern[(gib - 3) % 3]))
            state.SkipWithError("wrong result");
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["rss_growth_MiB"] = grown;
}
BENCHMARK(BM_Ranges1GiB)->Arg(0)->ArgName("erase")->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
