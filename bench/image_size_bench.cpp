// The disc image-size model on a disc of 100,000 files in 1,000 folders, with the name mix of a
// photo and document archive: camera names, descriptive English names, Japanese names and a few
// very long ones. With --write-tree DIR it writes the same disc as sparse files instead, for
// timing the image builders on it (bench/image_size_bench.sh).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "packing/ImageSize.h"

namespace {

using namespace stowra;

struct Disc {
    std::vector<std::string> paths;
    std::vector<std::uint64_t> sizes;
    std::vector<ImageEntry> entries;
};

std::string Utf8(char32_t c) {
    std::string s;
    if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
    } else {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    s += static_cast<char>(0x80 | (c & 0x3F));
    return s;
}

std::string Name(std::mt19937_64& rng, int file) {
    static const char* const kExt[] = {".jpg", ".JPG", ".png", ".docx", ".pdf", ".txt", ".mp4", ".tar.gz"};
    static const char* const kWords[] = {"meeting", "notes", "final", "version", "holiday", "photo",
                                         "report",  "draft", "scan",  "Invoice", "2019-07", "(copy)"};
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::string name;
    const int kind = pick(10);
    if (kind < 4) {
        name = pick(2) ? "IMG_" : "DSC";
        name += std::to_string(1000 + file);
        name += pick(2) ? ".JPG" : ".jpg";
    } else if (kind < 7) {
        for (int w = 1 + pick(8); w > 0; --w) {
            name += kWords[pick(12)];
            name += w > 1 ? " " : "";
        }
        name += " " + std::to_string(file) + kExt[pick(8)];
    } else if (kind < 9) {
        for (int c = 2 + pick(28); c > 0; --c) {
            name += Utf8(pick(3) ? 0x3041 + pick(86) : 0x4E00 + pick(20000));
        }
        name += std::to_string(file) + kExt[pick(8)];
    } else {
        for (int c = 100 + pick(100); c > 0; --c) {
            name += static_cast<char>('a' + pick(26));
        }
        name += std::to_string(file) + ".txt";
    }
    return name;
}

Disc MakeDisc(int folders, int filesPerFolder) {
    std::mt19937_64 rng(11);
    std::lognormal_distribution<double> bytes(std::log(100.0 * 1024), 1.5);
    Disc d;
    for (int f = 0; f < folders; ++f) {
        const std::string folder = "archive " + std::to_string(f / 50) + "/album " + std::to_string(f) + "/";
        for (int i = 0; i < filesPerFolder; ++i) {
            d.paths.push_back(folder + Name(rng, i));
            d.sizes.push_back(rng() % 20 == 0 ? 0 : static_cast<std::uint64_t>(bytes(rng)));
        }
    }
    for (std::size_t i = 0; i < d.paths.size(); ++i) {
        d.entries.push_back({d.paths[i], d.sizes[i], false});
    }
    return d;
}

const Disc& TheDisc() {
    static const Disc disc = MakeDisc(1000, 100);
    return disc;
}

int WriteTree(const std::string& root) {
    const Disc& d = TheDisc();
    ::mkdir(root.c_str(), 0755);
    for (std::size_t i = 0; i < d.paths.size(); ++i) {
        std::string path = root + "/" + d.paths[i];
        for (std::size_t slash = root.size() + 1; (slash = path.find('/', slash)) != std::string::npos;
             ++slash) {
            path[slash] = '\0';
            ::mkdir(path.c_str(), 0755);
            path[slash] = '/';
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(d.sizes[i])) != 0) {
            std::perror(path.c_str());
            return 1;
        }
        ::close(fd);
    }
    std::printf("%zu files written under %s\n", d.paths.size(), root.c_str());
    return 0;
}

void BM_ImageSectors(benchmark::State& state) {
    const auto layout = static_cast<FileSystem>(state.range(0));
    const Disc& d = TheDisc();
    std::uint64_t sectors = 0;
    for (auto _ : state) {
        sectors = ImageSectors(layout, d.entries);
        benchmark::DoNotOptimize(sectors);
    }
    state.SetLabel(FileSystemName(layout));
    state.counters["files"] = static_cast<double>(d.entries.size());
    state.counters["sectors"] = static_cast<double>(sectors);
}

BENCHMARK(BM_ImageSectors)
    ->Arg(static_cast<int>(FileSystem::Iso9660))
    ->Arg(static_cast<int>(FileSystem::Udf))
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-tree") == 0) {
        return WriteTree(argv[2]);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
