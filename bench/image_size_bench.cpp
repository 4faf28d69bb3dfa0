// The disc image-size model on a disc of 100,000 files in 1,000 folders, with the name mix of a
// photo and document archive: camera names, descriptive English names, Japanese names and a few
// very long ones. With --write-tree DIR it writes the same disc as sparse files instead, for
// timing the image builders on it (bench/image_size_bench.sh). With --write-random-tree DIR SEED
// it writes a small random disc for comparing the model with the builders
// (bench/image_size_margins.sh).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "image/ImageSize.h"

namespace {

using namespace stowra;

struct Disc {
    std::vector<std::string> folders;  // made even when empty, each ending in '/'
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
        name += ' ';
        name += std::to_string(file);
        name += kExt[pick(8)];
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

// 1 to 700 files in up to 100 random folders, sometimes below a chain up to 20 deep; names of 1
// to 12, 40, 120 or 200 characters in ASCII with punctuation, Japanese, or both; some empty files.
Disc RandomDisc(unsigned seed) {
    std::mt19937_64 rng(seed);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    static const int kLongest[] = {12, 40, 120, 200};
    static const int kChain[] = {0, 0, 5, 12, 20};
    static const char* const kExt[] = {".txt", ".jpg", ".tar.gz", ".JPEG", ".c", ".longextension", ".md", ""};
    const int longest = kLongest[pick(4)];
    const int kinds = pick(4);  // ASCII, Japanese, mixed characters, or any of them per name
    const int emptyPercent = pick(3) * 25;
    const auto name = [&](int most) {
        static const std::string kAscii =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -_.,()!#&'+=@[]{}~;%$^";
        const int kind = kinds == 3 ? pick(3) : kinds;
        std::string n;
        for (int c = 1 + pick(most); c > 0 && n.size() < 240; --c) {
            const int k = kind == 2 ? pick(3) : kind;
            n += k == 0 ? std::string(1, kAscii[pick(static_cast<int>(kAscii.size()))])
                        : Utf8(pick(2) ? 0x3041 + pick(86) : 0x4E00 + pick(20000));
        }
        n += pick(2) ? kExt[pick(8)] : "";
        return n == "." || n == ".." ? std::string("x") : n.substr(0, 250);
    };
    std::vector<std::string> folders = {""};
    for (int f = pick(101); f > 0; --f) {
        folders.push_back(folders[static_cast<std::size_t>(pick(static_cast<int>(folders.size())))] +
                          name(std::min(longest, 40)) + "/");
    }
    for (int c = kChain[pick(5)]; c > 0; --c) {
        folders.push_back(folders.back() + name(std::min(longest, 30)) + "/");
    }
    std::lognormal_distribution<double> bytes(8, 3);
    Disc d;
    d.folders.assign(folders.begin() + 1, folders.end());
    for (int f = 1 + pick(700); f > 0; --f) {
        d.paths.push_back(folders[static_cast<std::size_t>(pick(static_cast<int>(folders.size())))] +
                          name(longest));
        d.sizes.push_back(pick(100) < emptyPercent ? 0
                                                   : static_cast<std::uint64_t>(std::min(bytes(rng), 1e7)));
    }
    return d;
}

// Makes the folders of `path` below `root` (path relative, components separated by '/').
void MakeFolders(const std::string& root, const std::string& path) {
    std::string full = root + "/" + path;
    for (std::size_t slash = root.size() + 1; (slash = full.find('/', slash)) != std::string::npos; ++slash) {
        full[slash] = '\0';
        ::mkdir(full.c_str(), 0755);
        full[slash] = '/';
    }
}

// A random disc can name a file where a folder already is, or the other way round: such a file
// is left out.
int WriteTree(const std::string& root, const Disc& d) {
    ::mkdir(root.c_str(), 0755);
    for (const std::string& folder : d.folders) {
        MakeFolders(root, folder);
    }
    std::size_t written = 0;
    for (std::size_t i = 0; i < d.paths.size(); ++i) {
        MakeFolders(root, d.paths[i]);
        const std::string path = root + "/" + d.paths[i];
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0 && ::ftruncate(fd, static_cast<off_t>(d.sizes[i])) == 0) {
            ++written;
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    std::printf("%zu files written under %s\n", written, root.c_str());
    return written > 0 || d.paths.empty() ? 0 : 1;
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
        return WriteTree(argv[2], TheDisc());
    }
    if (argc == 4 && std::strcmp(argv[1], "--write-random-tree") == 0) {
        return WriteTree(argv[2], RandomDisc(static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10))));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
