#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <map>
#include <random>

#include "packing/ScanSession.h"
#include "platform/Text.h"
#include "support/Recorders.h"
#include "support/TempTree.h"
#include "support/Unprivileged.h"
#include "support/WorkedExample.h"

namespace stowra {
namespace {

const std::string D(1, kPathDelimiter);

ScanInput Input(const std::string& source, std::int32_t options = 0, std::int32_t minSize = 0) {
    ScanInput in;
    in.sourceFolder = source;
    in.options = options;
    in.minSize = minSize;
    in.profile = {2048, 359850, 256, 3840};
    return in;
}

// Every inventory entry as path -> sectors, group units marked with a "G" and their member count.
std::map<std::string, std::string> Units(const FileInventory& inv) {
    std::map<std::string, std::string> out;
    for (const FileItem* u : inv.Items()) {
        if (u->IsMember())
            continue;
        out[std::string(u->path())] =
            u->IsGroup() ? "G" + std::to_string(u->link.group->count) : std::to_string(u->sectors);
    }
    return out;
}

std::map<std::string, std::string> Collect(const std::string& root, std::int32_t options = 0,
                                           std::int32_t minSize = 0) {
    FileInventory inv;
    CollectFiles(AddTrailingBackslash(root), Input(root, options, minSize), inv);
    return Units(inv);
}

TEST(CollectFiles, MinimumSizeAndSectorRounding) {
    test::TempTree t;
    t.File("empty", 0);
    t.File("one", 1);
    t.File("hundred", 100);
    t.File("hundred-one", 101);
    t.File("sector", 2048);
    t.File("sector-plus", 2049);
    t.File("five-gib", 5368709120ull);
    EXPECT_EQ(Collect(t.Root(), 0, 0), (std::map<std::string, std::string>{{"five-gib", "2621440"},
                                                                           {"hundred", "1"},
                                                                           {"hundred-one", "1"},
                                                                           {"one", "1"},
                                                                           {"sector", "1"},
                                                                           {"sector-plus", "2"}}));
    auto above100 = Collect(t.Root(), 0, 100);
    EXPECT_EQ(above100.count("hundred"), 0u);
    EXPECT_EQ(above100.count("hundred-one"), 1u);
    EXPECT_EQ(above100.count("five-gib"), 1u);
    // A stored -1 means 4294967295 bytes: only the 5 GiB file is larger.
    EXPECT_EQ(Collect(t.Root(), 0, -1), (std::map<std::string, std::string>{{"five-gib", "2621440"}}));
}

TEST(CollectFiles, SourceWithOrWithoutTrailingDelimiterGivesTheSamePaths) {
    test::TempTree t;
    t.File("a.txt", 5);
    t.File("sub/b.txt", 5);
    auto expected = std::map<std::string, std::string>{{"a.txt", "1"}, {"sub" + D + "b.txt", "1"}};
    EXPECT_EQ(Collect(t.Root()), expected);
    EXPECT_EQ(Collect(t.Root() + D), expected);
}

TEST(CollectFiles, HiddenEntries) {
    test::TempTree t;
    t.File("leaf/a", 5);
    t.File("leaf/.hidden/b", 5);
    t.File(".top", 5);
    EXPECT_EQ(Collect(t.Root()), (std::map<std::string, std::string>{{"leaf" + D + "a", "1"}}));
    EXPECT_EQ(Collect(t.Root(), OptionFlags::IncludeHidden).size(), 3u);
    // A killed move's unfinished copy is no file of the user's: never packed, counted, said in red.
    t.File("leaf/.stowra-tmp-12-1", 5);
    EXPECT_EQ(Collect(t.Root(), OptionFlags::IncludeHidden).size(), 3u);
    test::RecordingWindow w;
    ScanInput in;
    in.sourceFolder = t.Root();
    in.options = OptionFlags::IncludeHidden;
    in.profile = MediaProfile{2048, 100, 10, 0};
    ASSERT_TRUE(RunScan(in, w.state, w));
    EXPECT_EQ(w.state.inventory.skippedCopies, 1u);
    EXPECT_NE(w.log.Text().find("コピー（.stowra-tmp-）1 個"), std::string::npos) << w.log.Text();
    // A hidden subfolder that is not listed does not stop its parent from being a leaf.
    EXPECT_EQ(Collect(t.Root(), OptionFlags::LeafFolderGrouping),
              (std::map<std::string, std::string>{{"leaf" + D, "G1"}}));
}

TEST(CollectFiles, SystemEntriesOnlyWhenAsked) {
    test::TempTree t;
    t.File("a", 5);
    t.SystemEntry("fifo");
    EXPECT_EQ(Collect(t.Root()).size(), 1u);
    // A FIFO has no size, so even when listed it is never larger than the minimum size.
    EXPECT_EQ(Collect(t.Root(), OptionFlags::IncludeSystem).size(), 1u);
}

TEST(CollectFiles, GroupingModes) {
    test::TempTree t;
    t.File("a/x", 5);
    t.File("a/b/y", 5);
    t.File("a/b/z", 5);
    t.File("t", 5);
    using M = std::map<std::string, std::string>;
    EXPECT_EQ(Collect(t.Root(), OptionFlags::LeafFolderGrouping),
              (M{{"a" + D + "x", "1"}, {"t", "1"}, {"a" + D + "b" + D, "G2"}}));
    EXPECT_EQ(Collect(t.Root(), OptionFlags::SubfolderGrouping), (M{{"t", "1"}, {"a" + D, "G3"}}));
    // Leaf grouping wins when both bits are set.
    EXPECT_EQ(Collect(t.Root(), OptionFlags::LeafFolderGrouping | OptionFlags::SubfolderGrouping),
              (M{{"a" + D + "x", "1"}, {"t", "1"}, {"a" + D + "b" + D, "G2"}}));
}

TEST(CollectFiles, GroupMembersAreLinkedInCollectionOrder) {
    test::TempTree t;
    t.File("表/c", 4097);
    t.File("表/a", 1);
    t.File("表/sub/b", 2049);
    FileInventory inv;
    CollectFiles(t.Root() + D, Input(t.Root(), OptionFlags::SubfolderGrouping), inv);
    ASSERT_EQ(inv.size(), 4u);
    const FileItem* group = inv[3];
    ASSERT_TRUE(group->IsGroup());
    EXPECT_EQ(group->path(), "表" + D);
    EXPECT_EQ(group->sectors, 1u + 3u + 2u);
    std::vector<std::string> members;
    for (const FileItem* m = group->link.group->first; m; m = m->link.nextMember) {
        members.emplace_back(m->path());
    }
    EXPECT_EQ(members,
              (std::vector<std::string>{"表" + D + "a", "表" + D + "c", "表" + D + "sub" + D + "b"}));
    EXPECT_EQ(inv.totalSectors, 6u);
}

TEST(CollectFiles, LeafGroupingOfASourceWithoutSubfolders) {
    test::TempTree t;
    t.File("a", 1);
    t.File("b", 1);
    t.File("c", 1);
    test::RecordingWindow w;
    ASSERT_TRUE(RunScan(Input(t.Root(), OptionFlags::LeafFolderGrouping), w.state, w));
    EXPECT_EQ(w.state.inventory.size(), 4u);
    EXPECT_EQ(Units(w.state.inventory), (std::map<std::string, std::string>{{"", "G3"}}));
    EXPECT_EQ(w.log.Lines()[0], "対象ファイル数 = 3 （サイズ = 6.0000 KiB）");
}

#ifndef _WIN32
TEST(CollectFiles, SymbolicLinkCyclesEnd) {
    test::TempTree t;
    t.File("a/f", 5);
    t.Link("a/up", t.Root());
    t.Link("a/self", t.Path("a"));
    t.Link("loop1", t.Path("loop2"));
    t.Link("loop2", t.Path("loop1"));
    EXPECT_EQ(Collect(t.Root()), (std::map<std::string, std::string>{{"a" + D + "f", "1"}}));
}
#endif

#ifndef _WIN32
TEST(RunScan, LinksAreNeverFollowedAndStayWhereTheyAre) {
    test::TempTree outside;
    outside.File("x", 5);
    outside.File("big", 3ull << 30);
    test::TempTree t;
    t.File("in/a", 2048);
    t.Link("to-folder", outside.Root());
    t.Link("to-big", outside.Path("big"));
    t.Link("in/twin", t.Path("in/a"));
    test::RecordingWindow w;
    ASSERT_TRUE(RunScan(Input(t.Root()), w.state, w));
    EXPECT_EQ(Units(w.state.inventory), (std::map<std::string, std::string>{{"in" + D + "a", "1"}}));
    EXPECT_EQ(w.state.inventory.skippedLinks, 3u);
    EXPECT_EQ(w.log.Lines()[0], "対象ファイル数 = 1 （サイズ = 2.0000 KiB）");
    EXPECT_EQ(w.log.Lines()[1], "シンボリックリンク 3 個は対象外です（元の場所に残ります）");

    test::RecordingWindow plain;  // no line at all without links
    ASSERT_TRUE(RunScan(Input(outside.Root()), plain.state, plain));
    EXPECT_EQ(plain.log.Text().find("シンボリックリンク"), std::string::npos);
}
#endif

// Every field of every item, in inventory order.
std::string Describe(const FileInventory& inv) {
    std::string out;
    for (const FileItem* u : inv.Items()) {
        out += std::string(u->path()) + " " + std::to_string(u->flags) + " " +
               std::to_string(u->fullSectors) +
               (u->IsGroup() ? " G" + std::to_string(u->link.group->count) : "") + "\n";
    }
    return out + std::to_string(inv.fileCount) + " " + std::to_string(inv.totalSectors) + " " +
           std::to_string(inv.skippedLinks);
}

// Names in the order of their code points on every system (code page 932's byte order differs:
// Ａ before 貼 before 予 before ｱ), so equal files go onto the same discs and a group's members
// come in the same order, whatever the walk's threads.
TEST(RunScan, NamesInCodePointOrderOnEverySystem) {
    test::TempTree t;
    for (const char* name : {"ｱ.dat", "予.dat", "z.dat", "Ａ.dat", "貼.dat", "a.dat"}) {
        t.File(std::string("g/") + name, 2048);
        t.File(name, 2048);
    }
    for (int threads : {1, 3}) {
        test::RecordingWindow w;
        ScanInput in = Input(t.Root(), OptionFlags::LeafFolderGrouping);
        in.profile = {2048, 5, 2, 1};  // three files a disc; the group stays behind
        in.threads = threads;
        ASSERT_TRUE(RunScan(in, w.state, w));
        std::vector<std::vector<std::string>> discs;
        for (const PackedMedium& m : w.state.result.media) {
            discs.emplace_back();
            for (const FileItem* u : m.units) {
                discs.back().emplace_back(u->path());
            }
        }
        const std::vector<std::vector<std::string>> expected = {{"a.dat", "z.dat", "予.dat"},
                                                                {"貼.dat", "Ａ.dat", "ｱ.dat"}};
        EXPECT_EQ(discs, expected) << threads << " threads";
        std::vector<std::string> members;
        for (const FileItem* u : w.state.inventory.Items()) {
            if (u->IsGroup()) {
                for (const FileItem* m = u->link.group->first; m; m = m->link.nextMember) {
                    members.emplace_back(m->path().substr(2));
                }
            }
        }
        EXPECT_EQ(members,
                  (std::vector<std::string>{"a.dat", "z.dat", "予.dat", "貼.dat", "Ａ.dat", "ｱ.dat"}));
    }
}

TEST(CollectFiles, AnyNumberOfThreadsGivesTheSameInventory) {
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        test::TempTree t;
        std::mt19937 rng(seed);
        std::vector<std::string> folders = {""};
        for (int i = 0; i < 150; ++i) {
            std::string parent = folders[rng() % folders.size()];
            std::string name = (rng() % 4 == 0 ? "." : "") +
                               std::string(1, static_cast<char>('a' + rng() % 26)) + std::to_string(i) +
                               (rng() % 5 == 0 ? " 写真" : "");
            folders.push_back(parent + name + "/");
            t.Folder(folders.back());
        }
        for (int i = 0; i < 400; ++i) {
            t.File(folders[rng() % folders.size()] + "f" + std::to_string(rng() % 50), rng() % 50000);
        }
#ifndef _WIN32
        t.Link(folders[5] + "link", t.Root());
#endif
        for (std::int32_t options : {0, OptionFlags::IncludeHidden | OptionFlags::LeafFolderGrouping,
                                     OptionFlags::SubfolderGrouping}) {
            std::string reference;
            for (int threads : {1, 2, 3, 8}) {
                FileInventory inv;
                ScanInput in = Input(t.Root(), options, 100);
                in.threads = threads;
                ASSERT_TRUE(CollectFiles(t.Root() + D, in, inv));
                if (threads == 1) {
                    reference = Describe(inv);
                } else {
                    EXPECT_EQ(Describe(inv), reference) << "seed " << seed << ", " << threads << " threads";
                }
            }
        }
    }
}

TEST(CollectFiles, OddNames) {
    test::TempTree t;
#ifdef _WIN32
    // Code page 932 names whose second byte is the delimiter's; no invalid bytes (the system
    // refuses them) and no tab (not allowed in Windows names).
    const std::vector<std::string> names = {"with space.txt", "日本語のファイル.jpg", "表", "ソフト表.txt",
                                            "semi;colon"};
#else
    const std::vector<std::string> names = {"with space.txt", "日本語のファイル.jpg", "bad\xff\xfe.bin",
                                            "semi;colon", "tab\tname"};
#endif
    for (const auto& n : names) {
        t.File("dir one/" + n, 10);
    }
    auto units = Collect(t.Root());
    ASSERT_EQ(units.size(), names.size());
    for (const auto& n : names) {
        EXPECT_EQ(units.count("dir one" + D + n), 1u) << n;
    }
}

TEST(CollectFiles, DeepTree) {
#ifdef _WIN32
    GTEST_SKIP() << "paths beyond MAX_PATH: the ANSI functions do not take them";
#endif
    test::TempTree t;
    std::string rel;
    for (int i = 0; i < 300; ++i) {
        rel += "d" + std::to_string(i % 10) + "/";
        if (i % 50 == 49) {
            t.File(rel + "side/s.txt", 1);  // the walk climbs back through closed levels
        }
    }
    t.File(rel + "deep.txt", 1);
    auto units = Collect(t.Root(), OptionFlags::SubfolderGrouping);
    EXPECT_EQ(units, (std::map<std::string, std::string>{{"d0" + D, "G7"}}));

#ifndef _WIN32
    // Few descriptors left: the walk still reaches the bottom.
    pid_t pid = ::fork();
    if (pid == 0) {
        struct rlimit lim {};
        ::getrlimit(RLIMIT_NOFILE, &lim);
        lim.rlim_cur = 40;
        ::setrlimit(RLIMIT_NOFILE, &lim);
        FileInventory one, two;
        ScanInput in = Input(t.Root());
        in.threads = 1;
        CollectFiles(t.Root() + D, in, one);
        in.threads = 2;
        CollectFiles(t.Root() + D, in, two);
        ::_exit(one.size() == 7 && two.size() == 7 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
#endif
}

TEST(CollectFiles, SectorCountsBeyondThirtyTwoBitsStayOversized) {
    test::TempTree t;
    t.File("huge", (1ull << 32) + 5);
    FileInventory inv;
    ScanInput in = Input(t.Root());
    in.profile.Cluster = 1;
    CollectFiles(t.Root() + D, in, inv);
    ASSERT_EQ(inv.size(), 1u);
    EXPECT_EQ(inv[0]->sectors, 0xFFFFFFFFu);
    EXPECT_EQ(inv[0]->fullSectors, (1ull << 32) + 5);
}

// Sums beyond 32 bits are held whole for the running total and for every size shown; only the
// decision that the unit is oversized uses the capped count.
TEST(RunScan, GroupsAndFilesBeyondThirtyTwoBits) {
    test::TempTree t;
    t.File("g/a", 5ull << 29);
    t.File("g/b", 5ull << 29);  // the group holds 5 GiB
    for (int i = 0; i < 10; ++i) {
        t.File("f" + std::to_string(i), 100ull << 20);
    }
    test::RecordingWindow w;
    ScanInput in = Input(t.Root(), OptionFlags::SubfolderGrouping);
    in.profile = {1, 1 << 30, 0, 0};
    ASSERT_TRUE(RunScan(in, w.state, w));
    EXPECT_TRUE(w.state.result.media.empty());  // 1000 MiB left: less than one disc
    EXPECT_EQ(w.log.Lines()[0], "対象ファイル数 = 12 （サイズ = 5.9766 GiB）");
    EXPECT_EQ(w.log.Lines()[1], "うまく詰め込めなかった残りファイル数 = 12 （サイズ = 5.9766 GiB）");
}

#ifndef _WIN32
TEST(CollectFiles, UnreadableFoldersContributeNothing) {
    test::TempTree t;
    ::chmod(t.Root().c_str(), 0755);
    t.File("open/a", 5);
    t.File("closed/b", 5);
    ::chmod(t.Path("open").c_str(), 0755);
    ::chmod(t.Path("open/a").c_str(), 0644);
    ::chmod(t.Path("closed").c_str(), 0000);
    EXPECT_EQ(test::RunAsNobody([&] {
                  FileInventory inv;
                  CollectFiles(t.Root() + D, Input(t.Root()), inv);
                  return inv.size() == 1 && inv[0]->path() == "open" + D + "a" ? 0 : 1;
              }),
              0);
}
#endif

TEST(RunScan, MissingSourceChangesNothing) {
    test::TempTree t;
    t.File("a", 100 * 2048);
    test::RecordingWindow w;
    ScanInput in = Input(t.Root());
    in.profile = {2048, 100, 10, 4};
    ASSERT_TRUE(RunScan(in, w.state, w));
    std::string before = w.log.Text();
    int clears = w.clears;

    for (const std::string& missing : {t.Path("nope"), std::string(), t.Path("a")}) {
        in.sourceFolder = missing;
        EXPECT_FALSE(RunScan(in, w.state, w));
        ASSERT_FALSE(w.prompter.asked.empty());
        EXPECT_EQ(w.prompter.asked.back().text, "入力フォルダが見つかりません");
        EXPECT_EQ(w.prompter.asked.back().caption, "");
        EXPECT_EQ(w.prompter.asked.back().icon, MessageIcon::Stop);
        EXPECT_EQ(w.clears, clears);
        EXPECT_EQ(w.log.Text(), before);
    }
}

TEST(RunScan, ImpossibleProfilesAreRefusedBeforeScanning) {
    test::TempTree t;
    t.File("a", 10);
    const MediaProfile bad[] = {{0, 100, 10, 4}, {2048, 100, 100, 4}, {2048, 100, 200, 4}};
    for (const auto& p : bad) {
        test::RecordingWindow w;
        ScanInput in = Input(t.Root());
        in.profile = p;
        EXPECT_FALSE(RunScan(in, w.state, w));
        ASSERT_EQ(w.prompter.asked.size(), 1u);
        EXPECT_NE(w.prompter.asked[0].text.find("メディア設定"), std::string::npos);
        EXPECT_EQ(w.clears, 0);
    }
}

TEST(RunScan, EndToEndExample) {
    test::TempTree t;
    test::WriteExampleFiles(t);
    test::RecordingWindow w;
    ScanInput in = Input(t.Root());
    in.profile = test::kExampleDisc;
    std::vector<std::string> expected = {
        "対象ファイル数 = 8 （サイズ = 600.0000 KiB）",
        "うまく詰め込めなかった残りファイル数 = 3 （サイズ = 246.0000 KiB）",
        "必要なメディア枚数 = 2",
        "平均詰め込み率 = 98.5000 %",
        "［対象を移動］を押すと、詰め込み対象ファイルを出力フォルダ配下へ移動できます。",
        test::kExampleIsoWouldNotBurn,
        test::kExampleUdfWouldNotBurn,
        test::kExampleChooseAFileSystem,
    };
    // A second scan in the same window starts from nothing.
    for (int scan = 1; scan <= 2; ++scan) {
        ASSERT_TRUE(RunScan(in, w.state, w));
        EXPECT_EQ(w.log.Lines(), expected);
        EXPECT_EQ(w.clears, scan);
        EXPECT_EQ(w.state.inventory.size(), 8u);
    }
    EXPECT_GE(w.log.Repaints(), 2);
    EXPECT_EQ(w.state.sourceRoot, t.Root() + D);
}

TEST(RunScan, ACancelledScanLeavesNoResult) {
    test::TempTree t;
    for (int i = 0; i < 3000; ++i) {
        t.File("d" + std::to_string(i % 40) + "/f" + std::to_string(i), 4096);
    }
    for (int threads : {1, 2}) {
        test::RecordingWindow w;
        ScanInput in = Input(t.Root());
        in.threads = threads;
        in.profile = {2048, 1000, 10, 4};
        ASSERT_TRUE(RunScan(in, w.state, w));  // a first, whole scan
        ASSERT_TRUE(w.state.HasResult());
        // The walk told what it had found as it went, and the whole of it at the end.
        ASSERT_GE(w.progress.size(), 3u);
        EXPECT_TRUE(w.progressDone);
        EXPECT_EQ(w.progress.back(), "ファイル 3000 個、フォルダ 41 個（11.7188 MiB）を見つけました");
        EXPECT_NE(w.progress.front(), w.progress.back()) << "the counts grow during the walk";
        w.progress.clear();
        w.cancelAfter = 1;
        ASSERT_TRUE(RunScan(in, w.state, w));
        EXPECT_TRUE(w.state.cancelled);
        EXPECT_FALSE(w.state.HasResult());
        EXPECT_TRUE(w.state.inventory.empty());
        EXPECT_EQ(w.log.Lines(), (std::vector<std::string>{"ファイル情報の収集を中止しました"}));
        EXPECT_FALSE(w.moveEnabled);
        EXPECT_TRUE(w.progressDone) << "a stopped walk takes its progress display away too";
    }
}

TEST(RunScan, EmptySourceReportsNothingToPack) {
    test::TempTree t;
    test::RecordingWindow w;
    ASSERT_TRUE(RunScan(Input(t.Root()), w.state, w));
    EXPECT_EQ(w.log.Lines()[0], "対象ファイル数 = 0 （サイズ = 0 Byte）");
    EXPECT_EQ(w.log.Lines()[2], "詰め込むのに十分なサイズがありませんでした。");
    EXPECT_FALSE(w.moveEnabled);
}

}  // namespace
}  // namespace stowra
