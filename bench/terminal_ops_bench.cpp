// The window picture of the editor's window, a full screen of printed text and one
// full-width scroll.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "headless_start.h"
#include "display/image.h"
#include "display/setup.h"
#include "display/placement.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/print.h"

namespace {

void editorWindow() {
    static bool done = [] {
        bench::startHeadlessToolkit();
        t_InitWindow(0, 24, 80, 25, 16, "DejaVuSansMono 16x32.font");
        t_WindowVisible(0, true);
        // Only the benchmarks draw and read: no update thread marks the view meanwhile.
        kt::windowRecord(0).AutoUpdate = false;
        return true;
    }();
    (void)done;
}

void BM_WindowImage24Bit(benchmark::State& state) {
    editorWindow();
    host::Image image;
    for (auto _ : state) {
        kt::touchWindow(0);
        benchmark::DoNotOptimize(t_WindowImage(0, image));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WindowImage24Bit)->Unit(benchmark::kMicrosecond);

// A view's redraw when nothing has changed since the last picture (an idle window).
void BM_IdleViewRedraw(benchmark::State& state) {
    editorWindow();
    host::Image image;
    uint64_t generation = 0;
    kt::viewRedraw(0, image, generation);
    for (auto _ : state) benchmark::DoNotOptimize(kt::viewRedraw(0, image, generation));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IdleViewRedraw);

void BM_PrintFullScreen(benchmark::State& state) {
    editorWindow();
    std::string line;
    for (int i = 0; i < 80; ++i) line += static_cast<char>('!' + i % 90);
    for (auto _ : state) {
        t_CursorHome(0);
        for (int row = 0; row < 25; ++row) {
            t_Htab(0, 1);
            t_Vtab(0, row + 1);
            // 79 characters, so that no line wraps and the last one does not scroll.
            t_Print(0, line.substr(0, 79));
        }
    }
    state.SetItemsProcessed(state.iterations() * 25 * 79);
}
BENCHMARK(BM_PrintFullScreen)->Unit(benchmark::kMicrosecond);

void BM_ScrollUpFullWidth(benchmark::State& state) {
    editorWindow();
    for (auto _ : state) t_ScrollUp(0);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScrollUpFullWidth)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
