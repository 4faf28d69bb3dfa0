// Packing 1,000,000 units with file-like sizes onto DVD-R, against sorting the same units.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "packing/ScanSession.h"
#include "platform/LogRecorder.h"

namespace {

using namespace stowra;

// Lognormal sizes with a median of about 100 KiB, in 2048-byte sectors.
std::vector<std::uint32_t> FileLikeSectors(std::size_t n) {
    std::mt19937_64 rng(42);
    std::lognormal_distribution<double> bytes(std::log(100.0 * 1024), 1.5);
    std::vector<std::uint32_t> sectors(n);
    for (auto& s : sectors) {
        double b = std::min(bytes(rng), 8e9);
        s = static_cast<std::uint32_t>(std::ceil(std::max(b, 1.0) / 2048.0));
    }
    return sectors;
}

class NullWindow : public ScanWindow {
public:
    LogPane& Log() override { return log_; }
    Prompter& Messages() override { std::abort(); }
    void ClearResults() override {}

private:
    LogRecorder log_;
};

// Paths as a photo archive has them: a hundred files a folder, a hundred folders a year.
void Fill(FileInventory& inv, const std::vector<std::uint32_t>& sectors) {
    std::string path;
    for (std::size_t i = 0; i < sectors.size(); ++i) {
        path = "photos/" + std::to_string(1990 + i / 10000) + "/" + std::to_string(i / 100 % 100) +
               "/IMG_" + std::to_string(i) + ".JPG";
        inv.Append(0, sectors[i], path);
        inv.totalSectors += sectors[i];
    }
}

void BM_SortUnits(benchmark::State& state) {
    auto sectors = FileLikeSectors(static_cast<std::size_t>(state.range(0)));
    FileInventory inv;
    Fill(inv, sectors);
    std::vector<FileItem*> original = inv.Items();
    for (auto _ : state) {
        std::vector<FileItem*> items = original;
        std::sort(items.begin(), items.end(),
                  [](const FileItem* a, const FileItem* b) { return a->sectors > b->sectors; });
        benchmark::DoNotOptimize(items.data());
    }
}

void BM_PackMedia(benchmark::State& state) {
    auto sectors = FileLikeSectors(static_cast<std::size_t>(state.range(0)));
    ScanInput in;
    in.profile = {2048, 2298496, 256, 3840};
    in.profile.fileSystem = static_cast<FileSystem>(state.range(1));
    in.options = 0;
    std::size_t media = 0;
    for (auto _ : state) {
        state.PauseTiming();
        NullWindow w;
        ScanState s;
        Fill(s.inventory, sectors);
        state.ResumeTiming();
        PackMedia(in, s, w);
        media = s.result.media.size();
        state.PauseTiming();
        s.Clear();
        state.ResumeTiming();
    }
    state.counters["media"] = static_cast<double>(media);
}

BENCHMARK(BM_SortUnits)->Arg(1000000)->Unit(benchmark::kMillisecond);
// Second argument: the file system the discs are packed for (0 none, 1 ISO 9660, 2 UDF).
BENCHMARK(BM_PackMedia)->Args({1000000, 0})->Args({1000000, 1})->Args({1000000, 2})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
