#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "burn/BurnLibraries.h"
#include "burn/Burner.h"
#include "burn/ImageCheck.h"
#include "burn/ImageFile.h"
#include "burn/ImageStream.h"
#include "packing/DiscFolder.h"
#include "relocate/IndexFiles.h"
#include "support/TempTree.h"

namespace stowra::burning {
namespace {

using test::TempTree;

int Shell(const std::string& command) {
    return std::system(("LC_ALL=C.UTF-8 " + command + " >/dev/null 2>&1").c_str());
}

// A disc folder of random names (ASCII, Japanese, long, hidden, duplicates in 8.3) and sizes.
void MakeDisc(const TempTree& t, const std::string& disc, unsigned seed, int files) {
    std::mt19937 gen(seed);
    const char* const stems[] = {"a",       "photo 2019-07-14 ", "日本語の名前",
                                 ".hidden", "x.tar.gz",          "長い名前の写真"};
    std::vector<std::string> folders{disc};
    for (int i = 0; i < files; ++i) {
        const std::string& parent = folders[gen() % folders.size()];
        std::string name = stems[gen() % 6] + std::to_string(i) + std::string(gen() % 40, 'n');
        if (gen() % 8 == 0) {
            folders.push_back(parent + "/" + name);
            t.Folder(folders.back());
            continue;
        }
        std::string content(gen() % 3 == 0 ? 0 : gen() % 50000, 'c');
        for (char& c : content) {
            c = static_cast<char>(gen());
        }
        t.Write(parent + "/" + name, content);
    }
}

std::unique_ptr<ImageStream> Open(const std::string& folder, FileSystem layout) {
    std::string error;
    auto image = OpenImage({folder, layout, {}}, error);
    EXPECT_TRUE(image) << error;
    return image;
}

TEST(Image, IsExactlyTheCountedSizeAndHoldsTheFolder) {
    BurnLibraries libraries;
    ASSERT_TRUE(libraries.Ready());
    const struct {
        unsigned seed;
        int files;
        FileSystem layout;
        bool oneFolder;  // so many small files in one folder that the MD5 records outgrow the padding
    } rows[] = {{1, 40, FileSystem::Iso9660, false},   {2, 400, FileSystem::Iso9660, false},
                {3, 1500, FileSystem::Iso9660, false}, {4, 6000, FileSystem::Iso9660, true},
                {1, 40, FileSystem::Udf, false},       {2, 400, FileSystem::Udf, false}};
    for (const auto& row : rows) {
        TempTree t;
        if (row.oneFolder) {
            for (int i = 0; i < row.files; ++i) {
                t.Write("disc/photo 2019-07-14 " + std::to_string(i % 24) + "." + std::to_string(i) +
                            " with a longer name.jpg",
                        std::string(static_cast<std::size_t>(i % 3), 'x'));
            }
        } else {
            MakeDisc(t, "disc", row.seed, row.files);
        }
        const std::string folder = t.Path("disc");
        std::string error;
        const auto counted = DiscFolderSectors(folder, row.layout, 2048, error);
        ASSERT_TRUE(counted) << error;
        auto image = Open(folder, row.layout);
        ASSERT_TRUE(image);
        const std::string file = t.Path("disc.iso");
        ASSERT_TRUE(WriteImageFile(*image, file, {}, error)) << error;
        std::ifstream in(file, std::ios::binary | std::ios::ate);
        EXPECT_EQ(static_cast<std::uint64_t>(in.tellg()), *counted * 2048) << row.seed;
        // xorriso reads the same files back, byte for byte.
        ASSERT_EQ(Shell("xorriso -osirrox on -indev '" + file + "' -extract / '" + t.Path("out") + "'"), 0);
        EXPECT_EQ(Shell("diff -r '" + folder + "' '" + t.Path("out") + "'"), 0) << row.seed;
        if (row.layout == FileSystem::Iso9660) {
            EXPECT_EQ(Shell("xorriso -md5 on -indev '" + file + "' -check_md5_r SORRY / --"), 0) << row.seed;
            const ImageCheckReport report = CheckImageFile(file, folder);
            EXPECT_TRUE(report.AllOk() && report.checksums) << report.error;
        }
    }
}

TEST(Image, AFlippedByteNamesItsFile) {
    BurnLibraries libraries;
    TempTree t;
    t.Write("disc/a.txt", "ab\n");
    t.Write("disc/big.bin", std::string(1000000, 'b'));
    const std::string file = t.Path("disc.iso");
    std::string error;
    auto image = Open(t.Path("disc"), FileSystem::Iso9660);
    ASSERT_TRUE(image && WriteImageFile(*image, file, {}, error)) << error;
    const std::string bytes = t.Read("disc.iso");
    const std::size_t data = bytes.find(std::string(2048, 'b'));
    ASSERT_NE(data, std::string::npos);
    // The check reads in batches of blocks: a flip in the first batch and one well past it.
    for (const std::size_t at : {data + 1000, data + 900000}) {
        std::string flipped = bytes;
        flipped[at] = 'X';
        t.Write("disc.iso", flipped);
        const ImageCheckReport report = CheckImageFile(file, "");
        ASSERT_EQ(report.problems.size(), 1u) << at;
        EXPECT_EQ(report.problems[0].path, "big.bin");
        EXPECT_EQ(report.problems[0].state, ImageFileState::Damaged);
        EXPECT_FALSE(report.sessionOk) << at;
    }
}

TEST(Burn, ToAFilePseudoDrive) {
    BurnLibraries libraries;
    enum class Change { None, WhileWritten, AfterPlanned, SinceMoved };
    const struct {
        const char* what;
        bool simulate;
        Change change;
        BurnOutcome outcome;
    } rows[] = {
        {"verified", false, Change::None, BurnOutcome::Verified},
        {"simulated: nothing written", true, Change::None, BurnOutcome::Simulated},
        {"a source file changed meanwhile", false, Change::WhileWritten, BurnOutcome::Failed},
        {"a source file grown after the image was planned", false, Change::AfterPlanned,
         BurnOutcome::Refused},
        {"a source file of another size than the move left", false, Change::SinceMoved, BurnOutcome::Refused},
    };
    for (const auto& row : rows) {
        TempTree t;
        // A disc folder as the move leaves it: its checksum file inside, the catalogue beside it.
        const std::string disc = "20261209-120000/1";
        MakeDisc(t, disc, 7, 60);
        t.Write(disc + "/z.bin", std::string(3000000, 'z'));
        if (row.change == Change::WhileWritten) {
            // Ahead of z.bin on the disc, so that z.bin is read after it changed.
            t.Write(disc + "/0000-first.bin", std::string(40000000, 'a'));
        }
        t.Write(disc + "/_sha256_20261209-120000-1.txt", std::string(64, '0') + "  z.bin\n");
        const std::string moved = row.change == Change::SinceMoved ? "2999999" : "3000000";
        t.Write("20261209-120000/_catalog_20261209-120000.tsv",
                std::string(kCatalogueHeader) + "1\tz.bin\t" + moved + "\t2026-12-09 12:00:00\t\n");
        BurnOptions options;
        options.device = "stdio:" + t.Path("disc.iso");
        options.simulate = row.simulate;
        const std::string folder = t.Path(disc);
        const auto open = [&](std::string& error) {
            auto image = OpenImage({folder, FileSystem::Iso9660, {}}, error);
            if (row.change == Change::AfterPlanned) {
                t.Write(disc + "/z.bin", std::string(3000001, 'z'));
            }
            return image;
        };
        bool changed = false;
        const auto progress = [&](const BurnProgress&) {
            if (row.change == Change::WhileWritten && !changed) {
                t.Write(disc + "/z.bin", "changed");
                changed = true;
            }
            return true;
        };
        const BurnResult r = BurnDisc(open, options, progress);
        EXPECT_EQ(r.outcome, row.outcome) << row.what << ": " << r.reason;
        std::ifstream in(t.Path("disc.iso"), std::ios::binary | std::ios::ate);
        if (row.simulate || row.outcome == BurnOutcome::Refused) {
            EXPECT_LE(static_cast<long long>(in.tellg()), 0) << row.what << ": nothing written";
        }
        if (row.change != Change::None) {
            EXPECT_NE(r.reason.find("z.bin"), std::string::npos) << row.what << ": " << r.reason;
        }
        if (row.change == Change::WhileWritten) {
            // libisofs padded the file it found shorter, and said so: that alone fails the disc.
            EXPECT_NE(r.reason.find("has changed"), std::string::npos) << r.reason;
        }
        if (row.outcome == BurnOutcome::Verified) {
            // A written disc is never written again.
            EXPECT_EQ(BurnDisc(open, options, progress).outcome, BurnOutcome::Refused) << row.what;
            EXPECT_TRUE(CheckImageFile(t.Path("disc.iso"), folder).AllOk()) << row.what;
        }
    }
}

// A small file system mounted on a folder for as long as the guard lives.
class SmallFileSystem {
public:
    SmallFileSystem(const std::string& folder, const char* size) : folder_(folder) {
        mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) {
            ::umount2(folder_.c_str(), MNT_DETACH);
        }
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool Mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

// A file pseudo-drive has the room of its file system: a disc folder larger than that is refused
// before anything is written.
TEST(Burn, ATooSmallDiscIsRefusedUnwritten) {
    BurnLibraries libraries;
    TempTree t;
    t.Write("disc/big.bin", std::string(6000000, 'b'));
    t.Folder("small");
    const SmallFileSystem small(t.Path("small"), "4m");
    if (!small.Mounted()) {
        GTEST_SKIP() << "a tmpfs cannot be mounted here (root only)";
    }
    BurnOptions options;
    options.device = "stdio:" + t.Path("small/disc.iso");
    const auto open = [&](std::string& error) {
        return OpenImage({t.Path("disc"), FileSystem::Iso9660, {}}, error);
    };
    const BurnResult r = BurnDisc(open, options, {});
    EXPECT_EQ(r.outcome, BurnOutcome::Refused) << r.reason;
    EXPECT_NE(r.reason.find("4194304"), std::string::npos) << "names the room: " << r.reason;
    std::ifstream in(t.Path("small/disc.iso"), std::ios::binary | std::ios::ate);
    EXPECT_LE(static_cast<long long>(in.tellg()), 0) << "nothing written";
}

}  // namespace
}  // namespace stowra::burning

namespace stowra::burning {
namespace {

TEST(VolumeId, NamesTheSetAndTheDisc) {
    const struct {
        const char* folder;
        const char* id;
    } rows[] = {
        {"/out/20240315-093012/2", "20240315_093012_2"},
        {"/out/20240315-093012/12/", "20240315_093012_12"},
        {"/out/backup/2", "2"},
        {"/out/写真 2024", "___2024"},
        {"/out/a-very-long-folder-name-for-a-disc-of-photos", "A_VERY_LONG_FOLDER_NAME_FOR_A_DI"},
        {"/", "STOWRA"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DefaultVolumeId(row.folder), row.id) << row.folder;
    }
    EXPECT_EQ(VolumeIdText("my disc #1"), "MY_DISC__1");
}

// Links stay out of both layouts, as the scan leaves them out of disc folders.
TEST(Image, LeavesLinksOut) {
    BurnLibraries libraries;
    for (FileSystem layout : {FileSystem::Iso9660, FileSystem::Udf}) {
        TempTree t;
        t.Write("disc/a.txt", "ab\n");
        t.Link("disc/link", "a.txt");
        auto image = Open(t.Path("disc"), layout);
        std::string error;
        ASSERT_TRUE(image && WriteImageFile(*image, t.Path("disc.iso"), {}, error)) << error;
        ASSERT_EQ(Shell("xorriso -osirrox on -indev '" + t.Path("disc.iso") + "' -extract / '" +
                        t.Path("out") + "'"),
                  0);
        EXPECT_TRUE(t.Exists("out/a.txt"));
        EXPECT_FALSE(t.Exists("out/link")) << FileSystemName(layout);
    }
}

}  // namespace
}  // namespace stowra::burning
