// Packing 1,000,000 units with file-like sizes onto DVD-R, against sorting the same units.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "frontend/LogRecorder.h"
#include "packing/ScanSession.h"

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
        path = "photos/" + std::to_string(1990 + i / 10000) + "/" + std::to_string(i / 100 % 100) + "/IMG_" +
               std::to_string(i) + ".JPG";
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

// A tree of small files (40,000 of at most 9 KB in 5,100 folders, names of 8 to 40 characters)
// on a disc of 50,000 sectors, where the structures take a large share of each disc: the search
// for the capacity whose image fits is what costs here. Counters: discs, and the most room a
// disc but the last left beyond System (sectors; the promise: at most Total / 1000).
void BM_PackSmallFiles(benchmark::State& state) {
    std::mt19937_64 rng(19);
    std::vector<std::pair<std::string, std::uint32_t>> files;
    for (int i = 0; i < 40000; ++i) {
        std::string name = "module-" + std::to_string(i % 5100) + "/lib/" + std::string(1 + rng() % 33, 'f') +
                           std::to_string(i) + ".js";
        files.emplace_back(std::move(name), static_cast<std::uint32_t>(1 + rng() % 5));
    }
    ScanInput in;
    in.profile = {2048, 50000, 256, 3840};
    in.profile.fileSystem = static_cast<FileSystem>(state.range(0));
    in.options = 0;
    std::size_t media = 0;
    std::uint64_t worstRoom = 0;
    for (auto _ : state) {
        state.PauseTiming();
        NullWindow w;
        ScanState s;
        for (const auto& [path, sectors] : files) {
            s.inventory.Append(0, sectors, path);
            s.inventory.totalSectors += sectors;
        }
        state.ResumeTiming();
        PackMedia(in, s, w);
        state.PauseTiming();
        media = s.result.media.size();
        worstRoom = 0;
        for (std::size_t i = 0; i + 1 < media && in.profile.fileSystem != FileSystem::None; ++i) {
            worstRoom = std::max<std::uint64_t>(worstRoom, 50000 - 256 - s.result.media[i].used);
        }
        s.Clear();
        state.ResumeTiming();
    }
    state.counters["media"] = static_cast<double>(media);
    state.counters["worstRoom"] = static_cast<double>(worstRoom);
}

BENCHMARK(BM_SortUnits)->Arg(1000000)->Unit(benchmark::kMillisecond);
// Second argument: the file system the discs are packed for (0 none, 1 ISO 9660, 2 UDF).
BENCHMARK(BM_PackMedia)
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Args({1000000, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackSmallFiles)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
