// Drawing 16 × 32 glyphs of the editor's font into a 24-bit window, one cell an item.
#include <benchmark/benchmark.h>

#include "display/font.h"
#include "display/glyph.h"
#include "files/fileio.h"

namespace {

t_Window& editorWindow() {
    auto& d = kt::display();
    if (!kt::memoryReady()) {
        kt::createVideoMemory();
        d.memoryStarted = true;
        d.memoryReady = true;
        t_Window& w = kt::windowRecord(0);
        const std::string name = "DejaVuSansMono 16x32.font";
        w.Font = kt::parseFont(getbinaryfromfile(std::string(OSTRAKONIX_BENCH_RESOURCES) + "/" + name), name);
        w.Initialized = true;
        w.BitDepth = 24;
        w.Width = 1280;
        w.Height = 800;
        w.TextWidth = 80;
        w.TextHeight = 25;
        w.MemoryStart = 0xD12000;
        w.MemoryEnd = 0xFFFFFF;
        w.TextMemoryStart = 0xD11000;
        w.TextMemoryEnd = 0xD11FFF;
        w.TextColor = 192;
    }
    return kt::windowRecord(0);
}

void BM_PrintSymbol24Bit(benchmark::State& state) {
    t_Window& w = editorWindow();
    if (w.Font.Data.empty()) {
        state.SkipWithError("font not found");
        return;
    }
    int64_t cell = 0;
    for (auto _ : state) {
        int64_t x = cell % 80 + 1, y = (cell / 80) % 25 + 1;
        t_PrintSymbol(0, static_cast<uint8_t>(33 + cell % 94), 0xC0, x, y);
        ++cell;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PrintSymbol24Bit);

}  // namespace

BENCHMARK_MAIN();
