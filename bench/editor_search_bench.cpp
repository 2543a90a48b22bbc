// Searching through the whole editor, run headless by a script, each beside what it is held
// against in the same run: 1 GiB from the page cache searched for an absent text, exactly and
// case-blind, against mmap and glibc's memmem over the same file; and a sparse terabyte that
// holds 16 MiB of data against the same 16 MiB as a file of its own. A search through the
// editor is the time of a script with its searches less the time of the same script without
// them, over their count. The files are made in a folder of their own in /var/tmp (not a
// small tmpfs) and removed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

const int64_t mib = int64_t{1} << 20, gib = int64_t{1} << 30, tib = int64_t{1} << 40;
const char absent[] = "Ostrakonix!?";

// Never destroyed: the exit handler that removes the folder runs after the statics are gone.
const std::string& folder() {
    static const std::string& path = []() -> const std::string& {
        auto* p = new std::string("/var/tmp/ostrakonix-search-bench-XXXXXX");
        if (::mkdtemp(p->data()) == nullptr) std::abort();
        std::atexit([] { std::filesystem::remove_all(folder()); });
        return *p;
    }();
    return path;
}

// Writes 1 MiB of random bytes at offset into fd.
void writeRandom(int fd, int64_t offset, std::mt19937_64& random) {
    std::vector<uint64_t> block(static_cast<size_t>(mib / 8));
    for (auto& value : block) value = random();
    if (::pwrite(fd, block.data(), static_cast<size_t>(mib), offset) != mib) std::abort();
}

// A file of size bytes whose data (random) is count extents of 1 MiB spread evenly over it,
// the rest holes. Just written, the page cache holds it, as a second look at a file finds it.
std::string makeFile(const std::string& name, int64_t size, int64_t extents) {
    const std::string path = folder() + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, size) != 0) std::abort();
    std::mt19937_64 random(5);
    for (int64_t i = 0; i < extents; ++i) writeRandom(fd, i * (size / extents), random);
    ::close(fd);
    return path;
}

const std::string& cachedGiB() {
    static const std::string path = makeFile("random-1g.bin", gib, gib / mib);
    return path;
}

// Runs the editor on path: the search text entered in the given mode (1 Text, 2 Alpha), then
// searches searches, each ended with its message; the seconds it took, or −1 when a search
// did not end with "not found".
double runEditor(const std::string& path, int mode, int searches) {
    const std::string script = folder() + "/search.script", screens = folder() + "/screens.txt";
    {
        std::ofstream out(script);
        out << "key ^F\nkey ^D\ntype " << absent << "\nkey Return\n";
        for (int i = 0; i < mode; ++i) out << "key ^P\n";
        for (int i = 0; i < searches; ++i) out << "key ^N\nscreen\ntype q\n";
        out << "key ^Q\n";
    }
    const std::string command = std::string("'" OSTRAKONIX_EXECUTABLE "' --headless --script '") + script +
                                "' --log /dev/null '" + path + "' > '" + screens + "'";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ifstream in(screens);
    int notFound = 0;
    for (std::string line; std::getline(in, line);)
        notFound += line.find("Suchbegriff nicht gefunden.") != std::string::npos;
    return status == 0 && notFound == searches ? seconds : -1;
}

void editorSearch(benchmark::State& state, const std::string& path, int mode, int64_t bytes) {
    const int searches = 5;
    for (auto _ : state) {
        const double without = runEditor(path, mode, 0), with = runEditor(path, mode, searches);
        if (without < 0 || with < 0) state.SkipWithError("a search through the editor went wrong");
        state.SetIterationTime(std::max(0.0, (with - without) / searches));
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_EditorSearch1GiB(benchmark::State& state) { editorSearch(state, cachedGiB(), 1, gib); }
void BM_EditorSearchCaseBlind1GiB(benchmark::State& state) { editorSearch(state, cachedGiB(), 2, gib); }

// What the editor's searches are held against: the file mapped and searched by glibc.
void BM_MmapMemmem1GiB(benchmark::State& state) {
    const int fd = ::open(cachedGiB().c_str(), O_RDONLY);
    for (auto _ : state) {
        void* map = ::mmap(nullptr, static_cast<size_t>(gib), PROT_READ, MAP_PRIVATE, fd, 0);
        if (::memmem(map, static_cast<size_t>(gib), absent, std::strlen(absent)) != nullptr)
            state.SkipWithError("found");
        ::munmap(map, static_cast<size_t>(gib));
    }
    ::close(fd);
    state.SetBytesProcessed(state.iterations() * gib);
}

// A terabyte disk image with 16 MiB of data in 16 places, and the same 16 MiB packed.
void BM_EditorSearchSparse1TiB(benchmark::State& state) {
    static const std::string path = makeFile("sparse-1t.img", tib, 16);
    editorSearch(state, path, 1, 16 * mib);
}
void BM_EditorSearch16MiB(benchmark::State& state) {
    static const std::string path = makeFile("data-16m.bin", 16 * mib, 16);
    editorSearch(state, path, 1, 16 * mib);
}

BENCHMARK(BM_EditorSearch1GiB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EditorSearchCaseBlind1GiB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MmapMemmem1GiB)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorSearchSparse1TiB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EditorSearch16MiB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
