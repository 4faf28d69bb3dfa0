#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>

#include "image/ImageNames.h"
#include "image/ImageSize.h"
#include "image/ImageTree.h"
#include "packing/DiscFolder.h"
#include "packing/ScanSession.h"
#include "packing/WrittenImage.h"
#include "support/Recorders.h"
#include "support/TempTree.h"

namespace stowra {
namespace {

using test::TempTree;

#ifndef _WIN32  // the image builders are Linux programs
// ---- the model against the image builders ---------------------------------------------------

const char* const kXorriso = "xorriso -as mkisofs -iso-level 3 -r -J --joliet-long";
const char* const kGenisoimage = "genisoimage -r -J --joliet-long";
const char* const kGenisoimageUdf = "genisoimage -r -J --joliet-long -udf";

bool BuildersInstalled() {
    return std::system("command -v xorriso >/dev/null && command -v genisoimage >/dev/null") == 0;
}

// The builder's -print-size figure; none when it makes no image of the folder.
std::optional<std::uint64_t> PrintSize(const char* builder, const std::string& folder) {
    const std::string command = std::string("LC_ALL=C.UTF-8 timeout 300 ") + builder +
                                " -print-size -quiet '" + folder + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return std::nullopt;
    }
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        text = buffer;  // the figure is the last line
    }
    if (::pclose(pipe) != 0 || text.empty() || text[0] < '0' || text[0] > '9') {
        return std::nullopt;
    }
    return std::stoull(text);
}

// The disc a folder makes, as the packing describes it: relative paths, sizes, every folder.
struct Disc {
    std::vector<std::string> paths;
    std::vector<ImageEntry> entries;
};

Disc ReadDisc(const std::string& root) {
    namespace fs = std::filesystem;
    Disc d;
    std::vector<std::pair<std::uint64_t, bool>> kinds;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const bool folder = it->is_directory();
        d.paths.push_back(fs::relative(it->path(), root).native());
        kinds.emplace_back(folder ? 0 : it->file_size(), folder);
    }
    for (std::size_t i = 0; i < d.paths.size(); ++i) {
        d.entries.push_back({d.paths[i], kinds[i].first, kinds[i].second});
    }
    return d;
}

// builder <= model <= builder + 16 sectors + 0.01 %
void ExpectCovers(std::uint64_t model, std::optional<std::uint64_t> builder, const std::string& what) {
    if (!builder) {
        return;
    }
    EXPECT_GE(model, *builder) << what;
    EXPECT_LE(model, *builder + 16 + *builder / 10000) << what;
}

void ExpectModelCoversBuilders(const std::string& folder, const std::string& name) {
    const Disc disc = ReadDisc(folder);
    const auto x = PrintSize(kXorriso, folder);
    const auto g = PrintSize(kGenisoimage, folder);
    const auto u = PrintSize(kGenisoimageUdf, folder);
    // xorriso makes no image of an empty folder.
    ASSERT_TRUE((x || disc.entries.empty()) && g && u) << name << ": a builder made no image";
    const std::uint64_t iso = std::max(x.value_or(0), g.value_or(0));
    ExpectCovers(ImageSectors(FileSystem::Iso9660, disc.entries), iso, name + " iso9660");
    ExpectCovers(ImageSectors(FileSystem::Udf, disc.entries), u, name + " udf");
    // Each builder on its own too, so that one layout cannot hide behind the other's figure.
    const image::BuilderSectors each = image::EachBuilderSectors(disc.entries);
    ExpectCovers(each.xorriso, x, name + " xorriso");
    ExpectCovers(each.genisoimage, g, name + " genisoimage");
}

std::string Repeat(std::string_view s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) {
        r += s;
    }
    return r;
}

std::string Japanese(std::mt19937& rng, int characters) {
    static const char* const kChars[] = {"日",   "本", "語", "写", "真", "の",
                                         "ファ", "イ", "ル", "名", "旅", "行"};
    std::string s;
    for (int i = 0; i < characters; ++i) {
        s += kChars[rng() % 12];
    }
    return s;
}

// Names of 1 to `longest` characters: ASCII with spaces and punctuation, Japanese, or mixed,
// some with an extension.
std::string RandomName(std::mt19937& rng, int longest) {
    static const std::string kAscii = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJ0123456789 -_.,()!#&'+=@[]{}~;%$";
    static const char* const kExt[] = {"", ".txt", ".jpg", ".tar.gz", ".JPEG", ".c", ".longextension"};
    const int length = 1 + static_cast<int>(rng() % static_cast<unsigned>(longest));
    std::string name;
    switch (rng() % 3) {
        case 0:
            for (int i = 0; i < length; ++i) {
                name += kAscii[rng() % kAscii.size()];
            }
            break;
        case 1:
            name = Japanese(rng, std::min(length, 80));
            break;
        default:
            for (int i = 0; i < length && name.size() < 200; ++i) {
                name += rng() % 2 ? std::string(1, kAscii[rng() % kAscii.size()]) : Japanese(rng, 1);
            }
    }
    name += kExt[rng() % 7];
    if (name == "." || name == "..") {
        name = "x";
    }
    return name.substr(0, 240);
}

// Folders under random parents (now and then a chain deeper than eight levels), then files of
// sparse sizes, a fifth of them empty.
void RandomTree(const TempTree& t, unsigned seed, int folders, int files, int longest) {
    std::mt19937 rng(seed);
    std::vector<std::string> dirs = {""};
    for (int i = 0; i < folders; ++i) {
        const std::string parent = dirs[rng() % dirs.size()];
        const std::string path = parent + RandomName(rng, std::min(longest, 40)) + "/";
        if (path.size() < 2000 && !t.Exists(path)) {
            t.Folder(path);
            dirs.push_back(path);
        }
    }
    for (int i = 0; seed % 2 == 0 && i < 12; ++i) {
        dirs.push_back(dirs.back() + "level " + std::to_string(i) + "/");
        t.Folder(dirs.back());
    }
    std::lognormal_distribution<double> bytes(9, 3);
    for (int i = 0; i < files; ++i) {
        const std::string path = dirs[rng() % dirs.size()] + RandomName(rng, longest);
        if (!t.Exists(path)) {
            t.File(path, rng() % 5 == 0 ? 0 : static_cast<std::uint64_t>(std::min(bytes(rng), 1e9)));
        }
    }
}

struct BuilderCase {
    const char* name;
    std::function<void(const TempTree&)> make;
};

TEST(ImageSectors, CoversBothBuildersOnGeneratedTrees) {
    if (!BuildersInstalled()) {
        GTEST_SKIP() << "xorriso and genisoimage are not installed (scripts/setup.sh installs them)";
    }
    const BuilderCase cases[] = {
        {"empty disc", [](const TempTree&) {}},
        {"one small file", [](const TempTree& t) { t.Write("a.txt", "ab\n"); }},
        {"every name length from 1 to 200",
         [](const TempTree& t) {
             for (int n = 1; n <= 200; ++n) {
                 t.File((std::to_string(1000 + n).substr(1) + Repeat("n", 200)).substr(0, n), 1000);
             }
         }},
        {"Japanese names of 1 to 84 characters",
         [](const TempTree& t) {
             for (int k = 1; k <= 84; ++k) {
                 t.File(std::to_string(10 + k) + Repeat("日", k), 5000);
             }
         }},
        {"a chain twelve folders deep",
         [](const TempTree& t) {
             t.Write("a/b/c/d/e/f/g/h/i/j/k/l/f.txt", "x\n");
             t.Write("a/b/c/d/e/f/g/h/i/j/f2.txt", "y\n");
         }},
        {"chains moved three times, with equal names",
         [](const TempTree& t) {
             for (const char* top : {"one", "two", "three"}) {
                 std::string path = top;
                 for (int i = 1; i < 30; ++i) {
                     path += "/level" + std::to_string(i);
                 }
                 t.File(path + "/f.txt", 10);
             }
         }},
        {"long folder names forty deep",
         [](const TempTree& t) {
             std::string path;
             for (int i = 0; i < 40; ++i) {
                 path += "a very long folder name number " + std::to_string(i) + " with words/";
             }
             t.File(path + "x.bin", 5000);
         }},
        {"records that fill a sector exactly",
         [](const TempTree& t) {
             for (int i = 10; i < 28; ++i) {
                 t.File("f" + std::to_string(i) + Repeat("x", 33) + ".a", 0);
             }
         }},
        {"names that collide once shortened",
         [](const TempTree& t) {
             for (int i = 0; i < 1000; ++i) {
                 char name[64];
                 std::snprintf(name, sizeof name, "photo 2019-07-14 %02d.%02d.%04d.jpg", i % 24, i % 60, i);
                 t.File(name, 0);
             }
             for (const char* n :
                  {"a b.txt", "a-b.txt", "a,b.txt", "a=b.txt", "a_b.txt", "A B.txt", "A-B.txt", "a~b.txt",
                   "a!b.txt", "a@b.txt", "a#b.txt", "a$b.txt", "README", "readme"}) {
                 t.File(n, 10);
             }
         }},
        {"dots and tildes",
         [](const TempTree& t) {
             for (const char* n :
                  {"a.~", ".~", "x.tar.gz", "x.ps.gz", "...", "a..b", "q.txt.a.b.c.d.e.~", "e.txt.~", "~~~",
                   ".hidden", "x.", "dir.with.dots", "a.b.c.d.e.f.g.h.i.j.k.txt"}) {
                 t.File(n, 100);
                 t.File(std::string("d/") + n + "dir/f", 1);
             }
         }},
        {"a name starting with ';', which genisoimage's Joliet tree sorts first",
         [](const TempTree& t) {
             const std::pair<const char*, int> names[] = {
                 {"A03", 52}, {"A04", 73}, {"A06", 85}, {"A08", 19}, {"A09", 79}, {"A10", 80},
                 {"A11", 54}, {"A13", 87}, {"A18", 46}, {"A19", 80}, {"B00", 82}, {"B01", 87},
                 {"B02", 57}, {"B05", 36}, {"B07", 57}, {"B12", 73}, {"B14", 73}, {"B15", 68},
                 {"B16", 35}, {"B17", 75}, {"B20", 79}, {"B21", 81}};
             for (const auto& [head, length] : names) {
                 t.File(head + Repeat("x", length), 0);
             }
             t.File(";" + Repeat("q", 64), 0);
         }},
        {"names with ';' and other characters Joliet leaves out",
         [](const TempTree& t) {
             std::mt19937 rng(26);
             for (int i = 0; i < 1600; ++i) {
                 // Names equal up to a ';' are equal to genisoimage, and keep the listing's order.
                 std::string name(1, i % 4 == 0 ? 'a' : ';');
                 for (int n = 1 + static_cast<int>(rng() % 100); n > 0; --n) {
                     name += "abcdefghijklmnopqrstuvwxyz"[rng() % 26];
                 }
                 t.File("f" + std::to_string(i % 40) + "/" + name, 0);
             }
         }},
        {"empty files and folders",
         [](const TempTree& t) {
             for (int i = 0; i < 60; ++i) {
                 t.Folder("e" + std::to_string(i) + "/sub/subsub");
                 t.File("z" + std::to_string(i), 0);
             }
         }},
        {"5,000 files in one folder",
         [](const TempTree& t) {
             std::mt19937 rng(5000);
             for (int i = 0; i < 5000; ++i) {
                 t.File(RandomName(rng, 60) + std::to_string(i), rng() % 3 == 0 ? 0 : 1 + rng() % 100000);
             }
         }},
    };
    for (const BuilderCase& c : cases) {
        TempTree t;
        c.make(t);
        ExpectModelCoversBuilders(t.Root(), c.name);
    }
    for (unsigned seed = 1; seed <= 6; ++seed) {
        TempTree t;
        RandomTree(t, seed, 10 + static_cast<int>(seed) * 15, 300, seed % 3 == 0 ? 200 : 30);
        ExpectModelCoversBuilders(t.Root(), "random tree " + std::to_string(seed));
    }
    {
        // Large enough to be counted in two halves on two threads, with relocated folders.
        TempTree t;
        RandomTree(t, 8, 900, 6000, 40);
        ExpectModelCoversBuilders(t.Root(), "random tree of 6,900 entries");
    }
}

// genisoimage makes no image of these; xorriso does.
TEST(ImageSectors, CoversXorrisoWhereGenisoimageRefuses) {
    if (!BuildersInstalled()) {
        GTEST_SKIP() << "xorriso and genisoimage are not installed (scripts/setup.sh installs them)";
    }
    const BuilderCase cases[] = {
        {"a 4.5 GiB file in several extents",
         [](const TempTree& t) {
             t.File("big", 4831838208ull);
             t.Write("a.txt", "ab\n");
         }},
        {"names that are not UTF-8",
         [](const TempTree& t) {
             for (const char* n : {"\xff.txt",
                                   "ab\xfe\xfd"
                                   "cd.txt",
                                   "\xe3\x81.txt", "\xc3\xa9t\xc3\xa9\xff.txt"}) {
                 t.File(n, 10);
                 t.File(std::string("sub\x80/") + n, 10);
             }
         }},
    };
    for (const BuilderCase& c : cases) {
        TempTree t;
        c.make(t);
        const Disc disc = ReadDisc(t.Root());
        EXPECT_FALSE(PrintSize(kGenisoimage, t.Root())) << c.name;
        const auto x = PrintSize(kXorriso, t.Root());
        ASSERT_TRUE(x) << c.name;
        ExpectCovers(ImageSectors(FileSystem::Iso9660, disc.entries), x, c.name);
    }
}

// Symbolic links, which both builders store as links (Rock Ridge SL; an entry without data in UDF),
// as a folder on disk measures. (genisoimage never ends on some targets of a few hundred bytes.)
TEST(DiscFolderSectors, CountsSymbolicLinksAsTheBuildersStoreThem) {
    if (!BuildersInstalled()) {
        GTEST_SKIP() << "xorriso and genisoimage are not installed (scripts/setup.sh installs them)";
    }
    const std::pair<const char*, std::function<std::string(int)>> cases[] = {
        {"short targets", [](int i) { return "a" + std::to_string(i); }},
        {"absolute paths", [](int i) { return "/usr/share/doc/package-" + std::to_string(i) + "/README"; }},
        {"parents and many components",
         [](int i) { return Repeat("../", 1 + i % 9) + Repeat("d/", i % 40) + "x"; }},
        {"long components", [](int i) { return "../" + Repeat("n", 20 + (i * 7) % 220); }},
    };
    for (const auto& [what, target] : cases) {
        TempTree t;
        t.Write("disc/a.txt", "ab\n");
        for (int i = 0; i < 600; ++i) {
            t.Link("disc/" + std::string(i % 2 ? "link" : "a longer name for link ") + std::to_string(i),
                   target(i));
        }
        const std::string folder = t.Path("disc");
        std::string error;
        const auto iso = DiscFolderSectors(folder, FileSystem::Iso9660, 2048, error);
        const auto udf = DiscFolderSectors(folder, FileSystem::Udf, 2048, error);
        ASSERT_TRUE(iso && udf) << error;
        const auto x = PrintSize(kXorriso, folder);
        const auto g = PrintSize(kGenisoimage, folder);
        ASSERT_TRUE(x && g) << what;
        EXPECT_GE(*iso, std::max(*x, *g)) << what;
        EXPECT_LE(*iso, std::max(*x, *g) + 16 + *iso / 50) << what;
        const auto u = PrintSize(kGenisoimageUdf, folder);
        ASSERT_TRUE(u) << what;
        EXPECT_GE(*udf, *u) << what;
        EXPECT_LE(*udf, *u + 16 + *udf / 50) << what;
    }
}

// ---- packed discs against the builders ----------------------------------------------------------

// A folder on tmpfs when the machine has one (it lists a folder in reverse creation order), else
// in the temporary folder.
std::string ScratchFolder() {
    char base[] = "/dev/shm/stowra-fit-XXXXXX";
    if (::mkdtemp(base) != nullptr) {
        return base;
    }
    char other[] = "/tmp/stowra-fit-XXXXXX";
    return ::mkdtemp(other) != nullptr ? other : "";
}

struct FitCase {
    const char* what;
    MediaProfile profile;
    // Paths and sizes in the profile's sectors of the tree to pack.
    std::function<void(std::vector<std::pair<std::string, std::uint32_t>>&)> tree;
    bool wasteBound;  // every disc but the last wastes at most System + Total / 1000
};

// Each disc of the pack is written out (files in the order the move creates them, largest first,
// which tmpfs lists last first) and measured by the builders: never above the pack's own figure,
// always within Total - System, and close to it where the units are small.
TEST(PackedDiscs, FitUnderTheImageBuilders) {
    if (!BuildersInstalled()) {
        GTEST_SKIP() << "xorriso and genisoimage are not installed (scripts/setup.sh installs them)";
    }
    const auto midFiles = [](std::uint32_t cluster) {
        return [cluster](std::vector<std::pair<std::string, std::uint32_t>>& files) {
            std::mt19937 rng(cluster);
            for (int i = 0; i < 240; ++i) {
                files.emplace_back("album " + std::to_string(i % 12) + "/photo " + std::to_string(i) + ".jpg",
                                   static_cast<std::uint32_t>((50000 + rng() % 1500000) / cluster + 1));
            }
        };
    };
    const auto smallFiles = [](int count, int folders) {
        return [=](std::vector<std::pair<std::string, std::uint32_t>>& files) {
            std::mt19937 rng(static_cast<unsigned>(count));
            for (int i = 0; i < count; ++i) {
                files.emplace_back("node_modules/pkg-" + std::to_string(i % folders) + "/" +
                                       std::string(1 + rng() % 30, 'm') + std::to_string(i) + ".js",
                                   1 + rng() % 5);  // at most 9 KB (2048-byte sectors)
            }
        };
    };
    // Short and long Japanese names that are all ________.JPG in 8.3 form: which record lands
    // where depends on the order the folder is listed in.
    const auto albums = [](std::vector<std::pair<std::string, std::uint32_t>>& files) {
        std::mt19937 rng(3);
        for (int i = 0; i < 3000; ++i) {
            files.emplace_back("アルバム" + std::to_string(i % 6) + "/" +
                                   Repeat("写真", i % 3 == 0 ? 14 : 2) + std::to_string(i) + ".JPG",
                               1 + rng() % 40);
        }
    };
    const FitCase cases[] = {
        {"512-byte sectors, ISO 9660", {512, 80000, 1024, 0, FileSystem::Iso9660}, midFiles(512), false},
        {"512-byte sectors, UDF", {512, 80000, 1024, 0, FileSystem::Udf}, midFiles(512), false},
        {"4096-byte sectors, ISO 9660", {4096, 10000, 64, 0, FileSystem::Iso9660}, midFiles(4096), false},
        {"4096-byte sectors, UDF", {4096, 10000, 64, 0, FileSystem::Udf}, midFiles(4096), false},
        {"40,000 small files, ISO 9660",
         {2048, 50000, 256, 0, FileSystem::Iso9660},
         smallFiles(40000, 5100),
         true},
        {"40,000 small files, UDF", {2048, 50000, 256, 0, FileSystem::Udf}, smallFiles(40000, 5100), true},
        {"9,000 folders of a few small files, UDF",
         {2048, 15000, 256, 0, FileSystem::Udf},
         smallFiles(18000, 9000),
         false},
        {"album folders of short and long names, UDF", {2048, 20000, 256, 0, FileSystem::Udf}, albums, true},
        {"album folders of short and long names, ISO 9660",
         {2048, 20000, 256, 0, FileSystem::Iso9660},
         albums,
         true},
    };
    for (const FitCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::pair<std::string, std::uint32_t>> files;
        c.tree(files);
        test::RecordingWindow w;
        for (const auto& [path, sectors] : files) {
            w.state.inventory.Append(0, sectors, path);
            w.state.inventory.totalSectors += sectors;
            w.state.inventory.fileCount += 1;
        }
        ScanInput in;
        in.profile = c.profile;
        in.options = 0;
        PackMedia(in, w.state, w);
        const auto& media = w.state.result.media;
        ASSERT_GE(media.size(), 1u) << w.log.Text();
        const auto cluster = static_cast<std::uint32_t>(c.profile.Cluster);
        const auto total = static_cast<std::uint64_t>(c.profile.Total);
        const auto system = static_cast<std::uint64_t>(c.profile.System);
        for (std::size_t n = 0; n < media.size(); ++n) {
            const std::string folder = ScratchFolder();
            ASSERT_FALSE(folder.empty());
            for (const FileItem* f : media[n].units) {
                const std::string path = folder + "/" + std::string(f->path());
                std::filesystem::create_directories(std::filesystem::path(path).parent_path());
                std::FILE* out = std::fopen(path.c_str(), "w");
                ASSERT_NE(out, nullptr);
                std::fclose(out);
                std::filesystem::resize_file(path, std::uint64_t{f->sectors} * cluster);
            }
            std::vector<std::optional<std::uint64_t>> built;
            if (c.profile.fileSystem == FileSystem::Udf) {
                built.push_back(PrintSize(kGenisoimageUdf, folder));
            } else {
                built.push_back(PrintSize(kXorriso, folder));
                built.push_back(PrintSize(kGenisoimage, folder));
            }
            test::RemoveTree(folder);
            for (const auto& b : built) {
                ASSERT_TRUE(b) << "disc " << n + 1;
                const std::uint64_t sectors = ToProfileSectors(*b, cluster);
                EXPECT_LE(sectors, media[n].used) << "disc " << n + 1 << ": the pack's figure is below";
                EXPECT_LE(sectors + system, total) << "disc " << n + 1 << " does not fit";
                if (c.wasteBound && n + 1 < media.size()) {
                    EXPECT_LE(total - media[n].used, system + total / 1000)
                        << "disc " << n + 1 << " wastes room";
                }
            }
        }
    }
}

// A large disc is counted in two halves on two threads; the halves must add up to the whole.
TEST(ImageSectors, TwoThreadsCountWhatOneCounts) {
    struct Shape {
        const char* name;
        int folders;
        int files;
        int depth;  // folders chained this deep, below which genisoimage relocates
    };
    const Shape shapes[] = {
        {"many small folders", 6000, 20000, 1},
        {"one large folder and a few", 3, 9000, 1},
        {"folders twelve deep", 800, 8000, 12},
    };
    for (const Shape& shape : shapes) {
        std::mt19937 rng(static_cast<unsigned>(shape.files));
        std::deque<std::string> paths;
        std::vector<std::string> folders;
        for (int i = 0; i < shape.folders; ++i) {
            std::string path =
                i % 7 == 0 ? Japanese(rng, 1 + static_cast<int>(rng() % 9)) : "f" + std::to_string(i);
            for (int d = 1; d < shape.depth; ++d) {
                path += "/" + std::to_string(d);
            }
            folders.push_back(path);
        }
        std::vector<ImageEntry> entries;
        for (int i = 0; i < shape.files; ++i) {
            paths.push_back(folders[rng() % folders.size()] + "/" + RandomName(rng, 60));
            entries.push_back({paths.back(), rng() % 100000});
        }
        const image::BuilderSectors one = image::EachBuilderSectors(entries, true);
        const image::BuilderSectors two = image::EachBuilderSectors(entries);
        EXPECT_EQ(one.xorriso, two.xorriso) << shape.name;
        EXPECT_EQ(one.genisoimage, two.genisoimage) << shape.name;
        EXPECT_EQ(one.udf, two.udf) << shape.name;
    }
}

#endif

// ---- the model without the builders -----------------------------------------------------------

struct PathCase {
    const char* name;
    std::vector<ImageEntry> entries;
    std::vector<ImageEntry> same;  // the same disc spelt plainly
};

TEST(ImageSectors, PathsSpeltDifferentlyMakeTheSameDisc) {
    const PathCase cases[] = {
        {"doubled, leading and trailing delimiters",
         {{"/a//b/", 0, true}, {"a/b//c.txt", 5000}},
         {{"a/b/c.txt", 5000}}},
        {"\".\" components", {{"./a/./b.txt", 1}}, {{"a/b.txt", 1}}},
        {"folders listed before, after or not at all",
         {{"x", 0, true}, {"x/y/z", 10}, {"x/y", 0, true}},
         {{"x/y/z", 10}}},
        {"an empty folder entry for the root", {{"", 0, true}, {"f", 3}}, {{"f", 3}}},
    };
    for (const PathCase& c : cases) {
        for (FileSystem fs : {FileSystem::Iso9660, FileSystem::Udf, FileSystem::None}) {
            EXPECT_EQ(ImageSectors(fs, c.entries), ImageSectors(fs, c.same))
                << c.name << " " << FileSystemName(fs);
        }
    }
}

struct SizeCase {
    const char* name;
    std::vector<ImageEntry> entries;
    std::uint64_t iso9660;
    std::uint64_t udf;
    std::uint64_t none;
};

TEST(ImageSectors, KnownImages) {
    const SizeCase cases[] = {
        // system area, descriptors, one directory per tree, reserved sector, padding
        {"nothing", {}, 183, 423, 0},
        {"one small file", {{"a.txt", 3}}, 184, 425, 1},
        {"an empty folder", {{"e", 0, true}}, 183, 427, 0},
        {"empty files take no data sector", {{"a", 0}, {"b", 0}}, 183, 425, 0},
        {"data in whole sectors", {{"a", 2048}, {"b", 2049}}, 186, 428, 3},
    };
    for (const SizeCase& c : cases) {
        EXPECT_EQ(ImageSectors(FileSystem::Iso9660, c.entries), c.iso9660) << c.name;
        EXPECT_EQ(ImageSectors(FileSystem::Udf, c.entries), c.udf) << c.name;
        EXPECT_EQ(ImageSectors(FileSystem::None, c.entries), c.none) << c.name;
        // The writer's MD5 records fit in the padding the builders end in: the same figures.
        EXPECT_EQ(WrittenImageSectors(FileSystem::Iso9660, c.entries), c.iso9660) << c.name;
        EXPECT_EQ(WrittenImageSectors(FileSystem::Udf, c.entries), c.udf) << c.name;
    }
}

// Input no builder would see must still give a figure, quickly.
TEST(ImageSectors, OddInputGivesAFigure) {
    std::string deep;
    for (int i = 0; i < 20000; ++i) {
        deep += "d/";
    }
    deep += "f";
    const std::string longName(5000, 'n');
    const std::string longFile = longName + ".txt";
    const std::string inLongFolder = longName + "/x";
    const std::vector<std::vector<ImageEntry>> discs = {
        {{"huge", ~std::uint64_t{0}}},
        {{deep, 10}},
        {{longName, 1}, {longFile, 1}, {inLongFolder, 1}},
        {{"same", 1}, {"same", 1}, {"same", 0, true}},
        {{"", 5}, {"/", 5}, {"a/", 5}},
        // Eleven and more names equal to xorriso once mapped, with nothing before the dot.
        {{".a!", 1},
         {".a#", 1},
         {".a$", 1},
         {".a%", 1},
         {".a&", 1},
         {".a(", 1},
         {".a)", 1},
         {".a+", 1},
         {".a,", 1},
         {".a-", 1},
         {".a=", 1},
         {".a@", 1},
         {".A_", 1}},
    };
    for (const auto& entries : discs) {
        EXPECT_GT(ImageSectors(FileSystem::Iso9660, entries), 182u);
        EXPECT_GT(ImageSectors(FileSystem::Udf, entries), 420u);
    }
}

TEST(FileSystemNames, RoundTrip) {
    for (FileSystem fs : {FileSystem::None, FileSystem::Iso9660, FileSystem::Udf}) {
        FileSystem parsed = FileSystem::Udf;
        EXPECT_TRUE(ParseFileSystem(FileSystemName(fs), parsed));
        EXPECT_EQ(parsed, fs);
    }
    FileSystem unchanged = FileSystem::Iso9660;
    for (const char* text : {"", "ISO9660", "udf ", "joliet"}) {
        EXPECT_FALSE(ParseFileSystem(text, unchanged)) << text;
        EXPECT_EQ(unchanged, FileSystem::Iso9660);
    }
    EXPECT_STREQ(FileSystemName(static_cast<FileSystem>(7)), "none");
}

// ---- names ----------------------------------------------------------------------------------

struct NameCase {
    const char* name;
    bool folder;
    const char* level1;  // genisoimage's 8.3 name
    const char* level3;  // xorriso's, without ";1"
};

// As the builders wrote them into images.
TEST(ImageNames, IsoNamesAsTheBuildersMakeThem) {
#ifdef _WIN32
    GTEST_SKIP() << "names are UTF-8 as the Linux image builders read them";
#endif
    const NameCase cases[] = {
        {"README", false, "README.;1", "README."},
        {"a.b.c.tar.gz", false, "A_B_C.TGZ;1", "A_B_C_TAR.GZ"},
        {".hidden", false, "_HIDDEN.;1", ".HIDDEN"},
        {".hidden", true, "_HIDDEN", ".HIDDEN"},
        {"x.", false, "X.;1", "X_."},
        {"x.", true, "X.", "X_"},
        {"e.txt.~", false, "E.TXT_;1", "E_TXT._"},
        {"a.b.~", false, "A.B__;1", "A_B._"},
        {"x.longext.~", false, "X.LON_;1", "X_LONGEXT._"},
        {"notes.markdown.txt.bak", false, "NOTES_MA.BAK;1", "NOTES_MARKDOWN_TXT.BAK"},
        {"...", false, "_._;1", "___."},
        {".tar.gz", false, "_TGZ.;1", "_TAR.GZ"},
        {"a.tar.gz~", false, "A_TAR.GZ_;1", "A_TAR.GZ_"},
        {"abcdefghij.k.txt", false, "ABCDEFGH.TXT;1", "ABCDEFGHIJ_K.TXT"},
        {"longname_with_many_characters_beyond_thirty_one.longextension", false, "LONGNAME.LON;1",
         "LONGNAME_WITH_MANY_CHARACTE.LON"},
        {"averyveryveryveryveryverylongname", false, "AVERYVER.;1", "AVERYVERYVERYVERYVERYVERYLONGN."},
        {"abcdefghijklmnopqrstuvwxyzabcdefghijk", true, "ABCDEFGH", "ABCDEFGHIJKLMNOPQRSTUVWXYZABCD"},
        {"dir.with.dots", true, "DIR_WITH.DOT", "DIR_WITH.DOTS"},
        {"\xc3\x96lfilename.text", false, "__LFILEN.TEX;1", "_LFILENAME.TEXT"},
        {"\xe6\x97\xa5\xe6\x97\xa5x\x80.txt", false, "______X_.TXT;1", "__X_.TXT"},
        {"日本語ファイル名.txt", false, "________.TXT;1", "________.TXT"},
    };
    for (const NameCase& c : cases) {
        std::string level1;
        image::AppendLevel1Name(c.name, c.folder, level1);
        EXPECT_EQ(level1, c.level1) << c.name;
        std::u32string decoded;
        image::AppendDecodedName(c.name, decoded);
        std::string level3;
        image::AppendLevel3Name(std::u32string_view(decoded), c.folder, level3);
        EXPECT_EQ(level3, c.level3) << c.name;
        // A name all in ASCII may be given as its bytes: every name form must come out the same.
        const std::string_view bytes = c.name;
        if (std::all_of(bytes.begin(), bytes.end(), [](char b) { return b >= 0; })) {
            std::string fromBytes;
            image::AppendLevel3Name(bytes, c.folder, fromBytes);
            EXPECT_EQ(fromBytes, c.level3) << c.name;
            std::u16string joliet, jolietFromBytes, plain, plainFromBytes;
            image::AppendJolietName(std::u32string_view(decoded), c.folder, joliet);
            image::AppendJolietName(bytes, c.folder, jolietFromBytes);
            EXPECT_EQ(jolietFromBytes, joliet) << c.name;
            image::AppendPlainJolietName(std::u32string_view(decoded), plain);
            image::AppendPlainJolietName(bytes, plainFromBytes);
            EXPECT_EQ(plainFromBytes, plain) << c.name;
        }
    }
}

// A byte that does not start a valid UTF-8 sequence counts as one '_', as the builders count it.
TEST(ImageNames, DecodesNamesAsTheBuildersCountThem) {
#ifdef _WIN32
    GTEST_SKIP() << "names are UTF-8 as the Linux image builders read them";
#endif
    const struct {
        const char* bytes;
        std::u32string decoded;
        bool ascii;
    } cases[] = {
        {"plain.txt", U"plain.txt", true},
        {"\xe6\x97\xa5\xe6\x9c\xac.txt", U"\u65e5\u672c.txt", false},
        {"\xe1\x80\x80\xec\xbf\xbf", U"\u1000\ucfff", false},
        {"\xe6\x97", U"__", false},       // cut short at the end
        {"\xe6\x97x", U"__x", false},     // cut short before another character
        {"\xe0\x80\x80", U"___", false},  // overlong
        {"\xe0\xa0\x80", U"\u0800", false},
        {"\xed\xa0\x80", U"___", false},  // surrogate
        {"\xed\x9f\xbf", U"\ud7ff", false},
        {"\xef\xbf\xbd", U"\ufffd", false},
        {"\xf0\x9f\x98\x80"
         "a",
         U"\U0001f600a", false},
        {"\xc3\x96\xff", U"\u00d6_", false},
    };
    for (const auto& c : cases) {
        std::u32string decoded;
        EXPECT_EQ(image::AppendDecodedName(c.bytes, decoded), c.ascii) << c.bytes;
        EXPECT_EQ(decoded, c.decoded) << c.bytes;
    }
}

}  // namespace
}  // namespace stowra
