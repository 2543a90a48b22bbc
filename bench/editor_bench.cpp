// The editor's hot paths: drawing its screen, a cursor motion, searching, changing all, and
// loading a large file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

#include "headless_start.h"
#include "display/setup.h"
#include "document/search.h"
#include "editor/editor.h"
#include "files/fileio.h"
#include "input/events.h"
#include "terminal/modes.h"

namespace {

void setUp() {
    static bool done = [] {
        bench::startHeadlessToolkit();
        t_InitWindow(editor::window, 24, editor::columns, editor::rows, 16, editor::fontName);
        return true;
    }();
    (void)done;
}

kt::ByteArray randomBytes(size_t size, uint32_t seed) {
    kt::ByteArray bytes(size);
    std::mt19937_64 random(seed);
    for (size_t i = 0; i + 8 <= size; i += 8) {
        uint64_t value = random();
        std::memcpy(bytes.data() + i, &value, 8);
    }
    return bytes;
}

void BM_DrawScreenForced(benchmark::State& state) {
    setUp();
    editor::resetState();
    editor::state().Buffer = randomBytes(1 << 16, 1);
    for (auto _ : state) benchmark::DoNotOptimize(editor::DrawScreen(0, 0, true));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawScreenForced)->Unit(benchmark::kMicrosecond);

// One byte right: the old byte drawn normal, the new one inverse, and the status values.
void BM_CursorMotion(benchmark::State& state) {
    setUp();
    editor::resetState();
    editor::state().Buffer = randomBytes(1 << 16, 2);
    editor::redraw(0, 0, true);
    for (auto _ : state) {
        auto& s = editor::state();
        if (s.Cursor >= 16 * 18 - 1) editor::redraw(0, 0, true);
        editor::DrawByte(s.TopLine, s.Cursor);
        editor::byteRight();
        t_Inverse(editor::window);
        editor::DrawByte(s.TopLine, s.Cursor);
        t_Normal(editor::window);
        editor::DrawStatus(s.Cursor);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CursorMotion)->Unit(benchmark::kMicrosecond);

// A search through 256 MiB that finds its pattern only in the last bytes.
void searchBench(benchmark::State& state, bool folded) {
    static const kt::ByteArray data = [] {
        kt::ByteArray bytes = randomBytes(256u << 20, 3);
        const char tail[] = "Ostrakonix!";
        std::memcpy(bytes.data() + bytes.size() - sizeof tail, tail, sizeof tail);
        return bytes;
    }();
    std::vector<uint8_t> pattern{'O', 's', 't', 'r', 'a', 'k', 'o', 'n', 'i', 'x', '!'};
    auto capitals = document::search::capitals(pattern);
    for (auto _ : state) {
        int64_t at = folded ? document::search::findFolded(data, capitals, 0) : document::search::findExact(data, pattern, 0);
        if (at < 0) state.SkipWithError("not found");
        benchmark::DoNotOptimize(at);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}
void BM_SearchTextAndHex(benchmark::State& state) { searchBench(state, false); }
void BM_SearchAlpha(benchmark::State& state) { searchBench(state, true); }
BENCHMARK(BM_SearchTextAndHex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchAlpha)->Unit(benchmark::kMillisecond);

// Change all: 1,000,000 occurrences in 64 MiB, in insert mode with a longer change text.
void BM_ChangeAll(benchmark::State& state) {
    setUp();
    const size_t size = 64u << 20;
    kt::ByteArray base(size, 0x11);
    for (size_t i = 0; i < 1000000; ++i) base[i * (size / 1000000)] = 0xAB;
    for (auto _ : state) {
        state.PauseTiming();
        editor::resetState();
        auto& s = editor::state();
        s.Buffer = base;
        s.InsertMode = 1;
        s.SearchText = {'A', 'B'};
        s.ChangeText = {'C', 'D', 'E', 'F'};
        // The final message waits for a key: one is queued for it.
        t_Event key;
        key.Kind = 1;
        key.Value = ' ';
        kt::keyQueue().append(key);
        state.ResumeTiming();
        editor::changeAll();
        if (s.Buffer.size() != size + 1000000) state.SkipWithError("wrong result");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1000000);
}
BENCHMARK(BM_ChangeAll)->Unit(benchmark::kMillisecond)->Iterations(3);

// Loading 256 MiB against one read of it into fresh memory.
const std::string& bigFile() {
    static const std::string path = [] {
        std::string p = "/tmp/ostrakonix-bench-256.bin";
        auto bytes = randomBytes(256u << 20, 4);
        setbinarytofile(p, bytes);
        return p;
    }();
    return path;
}

void BM_LoadFile(benchmark::State& state) {
    const std::string& path = bigFile();
    for (auto _ : state) benchmark::DoNotOptimize(gettextfromfile(path).size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (256 << 20));
}
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMillisecond);

void BM_ReadIntoFreshMemory(benchmark::State& state) {
    const std::string& path = bigFile();
    for (auto _ : state) {
        const size_t size = 256u << 20;
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
        int fd = ::open(path.c_str(), O_RDONLY);
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::read(fd, buffer.get() + done, size - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::close(fd);
        benchmark::DoNotOptimize(buffer.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (256 << 20));
}
BENCHMARK(BM_ReadIntoFreshMemory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
