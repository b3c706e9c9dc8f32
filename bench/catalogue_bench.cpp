// Catalogue costs: the batch-list data, reads with and without the parse
// cache, one durable write, and how the list grows with the catalogue.
#include "store/catalogue.h"
#include "store/ini_file.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

fs::path MakeCatalogue(int batches, int items) {
    const fs::path dir = fs::temp_directory_path() / ("korvane-bench-" + std::to_string(batches));
    fs::create_directories(dir);
    std::ofstream out(dir / "batches.lst", std::ios::binary | std::ios::trunc);
    for (int b = 0; b < batches; ++b) {
        out << "[Batch " << b << "]\r\nID=" << b << "\r\nShowInStartup=" << (b % 3 ? 1 : 0)
            << "\r\nIconFile=/usr/share/icons/b" << b % 7 << ".png\r\nIconIndex=0\r\n";
        for (int i = 0; i < items; ++i) {
            out << "Item" << i << "="
                << (i % 4 ? "File;" + std::to_string(i) + "\\;Active"
                          : std::string("Interval;0:00:05;Active"))
                << "\r\n";
        }
    }
    return dir;
}

void BM_BatchListRows(benchmark::State& state) {
    const fs::path dir = MakeCatalogue(static_cast<int>(state.range(0)), 20);
    korvane::TIniFile catalogue(dir / "batches.lst");
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvane::ListBatchRows(catalogue, false));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BatchListRows)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

void BM_LoadBatchItems(benchmark::State& state) {
    const fs::path dir = MakeCatalogue(1000, 20);
    korvane::TIniFile catalogue(dir / "batches.lst");
    for (auto _ : state) {
        int n = 0;
        korvane::ForEachItem(catalogue, "Batch 999", [&](int, const korvane::tqAppInfo&) {
            ++n;
            return true;
        });
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_LoadBatchItems)->Unit(benchmark::kMicrosecond);

void BM_ReadText(benchmark::State& state) {
    const fs::path dir = MakeCatalogue(1000, 20);
    korvane::TIniFile catalogue(dir / "batches.lst");
    catalogue.SetCacheEnabled(state.range(0) != 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(catalogue.ReadText("Batch 500", "Item10", ""));
    }
    state.SetLabel(state.range(0) ? "parse cache" : "no cache");
}
BENCHMARK(BM_ReadText)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_WriteText(benchmark::State& state) {
    const fs::path dir = MakeCatalogue(1000, 20);
    korvane::TIniFile catalogue(dir / "batches.lst");
    int n = 0;
    for (auto _ : state) {
        catalogue.WriteText("Batch 500", "IconIndex", std::to_string(++n % 2));
    }
}
BENCHMARK(BM_WriteText)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
