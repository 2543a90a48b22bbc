// Listing a folder of 10,000 files into the catalog, one file an item.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "files/catalog.h"

namespace {

constexpr int fileCount = 10000;

// A folder of files with mixed names, cases and extensions, made once for the program.
const std::string& bigFolder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "ostrakonix-bench-XXXXXX").string();
        std::string path = ::mkdtemp(pattern.data());
        const char* extensions[] = {"txt", "JPG", "bin", "pdf", "Dat", "", "tar.gz", "html"};
        for (int i = 0; i < fileCount; ++i) {
            char name[64];
            const char* extension = extensions[i % 8];
            std::snprintf(name, sizeof name, "%s%05d%s%s", i % 3 ? "Datei" : "bild", (i * 7919) % fileCount,
                          *extension ? "." : "", extension);
            std::ofstream(path + "/" + name) << i;
        }
        return path + "/";
    }();
    return folder;
}

void BM_CatLoad10000Files(benchmark::State& state) {
    const std::string& folder = bigFolder();
    for (auto _ : state) {
        f_Catalog().clear();
        f_CatStatus() = 0;
        f_CatCount() = 0;
        f_CatLoad(folder, false, false, false, "");
        benchmark::DoNotOptimize(f_Catalog().data());
    }
    if (f_CatCount() != fileCount) state.SkipWithError("not every file was listed");
    state.SetItemsProcessed(state.iterations() * fileCount);
}
BENCHMARK(BM_CatLoad10000Files)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(bigFolder(), ignored);
    return 0;
}
