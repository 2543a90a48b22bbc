// The editor's hot paths: drawing its screen, a cursor motion and changing all. The document
// underneath (opening, searching, saving) is measured in document_bench.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "app/bytes.h"
#include "headless_start.h"
#include "display/setup.h"
#include "editor/editor.h"
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

document::Document bufferOf(const kt::ByteArray& bytes) {
    document::Document buffer;
    buffer.insert(0, bytes);
    buffer.markSaved();
    return buffer;
}

void BM_DrawScreenForced(benchmark::State& state) {
    setUp();
    editor::resetState();
    editor::state().Buffer = bufferOf(randomBytes(1 << 16, 1));
    for (auto _ : state) benchmark::DoNotOptimize(editor::DrawScreen(0, 0, true));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawScreenForced)->Unit(benchmark::kMicrosecond);

// One byte right: the old byte drawn normal, the new one inverse, and the status values; with
// the argument 1 the values view is shown and follows the cursor.
void BM_CursorMotion(benchmark::State& state) {
    setUp();
    editor::resetState();
    editor::state().Buffer = bufferOf(randomBytes(1 << 16, 2));
    editor::state().ValuesShown = state.range(0) == 1;
    editor::DrawHeader();
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
BENCHMARK(BM_CursorMotion)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Change all through the editor: 1,000,000 occurrences in 64 MiB, in insert mode with a longer
// change text (the document alone is measured in document_bench).
void BM_ChangeAll(benchmark::State& state) {
    setUp();
    const size_t size = 64u << 20;
    kt::ByteArray base(size, 0x11);
    for (size_t i = 0; i < 1000000; ++i) base[i * (size / 1000000)] = 0xAB;
    for (auto _ : state) {
        state.PauseTiming();
        editor::resetState();
        auto& s = editor::state();
        s.Buffer = bufferOf(base);
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

}  // namespace

BENCHMARK_MAIN();
