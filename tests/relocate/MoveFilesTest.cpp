#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>

#include "packing/DiscImage.h"
#include "platform/Text.h"
#include "relocate/IndexFiles.h"
#include "relocate/MoveFiles.h"
#include "relocate/MoveFixture.h"
#include "support/OtherFileSystem.h"
#include "support/Unprivileged.h"

namespace stowra {
namespace {

using test::Digests;
using test::ScannedTree;
using Q = test::ScriptedPrompter::Question;

const Q kM1{"出力フォルダが見つかりません", "", MessageIcon::Stop, MessageButtons::Ok};
const Q kM2{"入力フォルダと出力フォルダが同じです", "", MessageIcon::Stop, MessageButtons::Ok};
const Q kM3{"出力フォルダが入力フォルダ配下に含まれてしまっています", "", MessageIcon::Stop,
            MessageButtons::Ok};
const Q kQ1{
    "入力フォルダと出力フォルダのドライブが異なっているため、\nファイルの移動に時間がかかるかもしれません。\n"
    "よろしいですか？",
    "確認", MessageIcon::Exclamation, MessageButtons::OkCancel};
const Q kQ2{"対象ファイルを移動してよいですか？", "確認", MessageIcon::Exclamation, MessageButtons::OkCancel};
const Q kM4{"移動が途中でキャンセルされました", "メッセージ", MessageIcon::Exclamation, MessageButtons::Ok};
const Q kM5{"移動に失敗したファイルがありました", "", MessageIcon::Stop, MessageButtons::Ok};
const Q kM6{"対象ファイルを移動しました", "メッセージ", MessageIcon::None, MessageButtons::Ok};

void ExpectAsked(const std::vector<Q>& asked, const std::vector<Q>& expected) {
    ASSERT_EQ(asked.size(), expected.size());
    for (std::size_t i = 0; i < asked.size(); ++i) {
        EXPECT_EQ(asked[i].text, expected[i].text) << "question " << i;
        EXPECT_EQ(asked[i].caption, expected[i].caption) << "question " << i;
        EXPECT_EQ(asked[i].icon, expected[i].icon) << "question " << i;
        EXPECT_EQ(asked[i].buttons, expected[i].buttons) << "question " << i;
    }
}

constexpr std::int32_t kIndexAndClean = OptionFlags::WriteIndex | OptionFlags::RemoveEmptied;

TEST(MoveFiles, ThreeMediaWithIndexFilesAndEmptiedFoldersRemoved) {
    test::TempTree t;
    ScannedTree s(t.Path("src"));
    ASSERT_GE(s.media.size(), 3u);
    ASSERT_LT(s.mediumOf.size(), s.digests.size()) << "the test wants a remainder too";
    t.Folder("out");
    test::ProgressRecorder sink;
    s.window.moveEnabled = true;
    s.window.clears = 0;
    MoveReport r = MoveFiles({t.Path("out"), kIndexAndClean}, s.window.state, s.window, sink);

    EXPECT_EQ(r.outcome, MoveOutcome::Moved);
    EXPECT_TRUE(r.failures.empty());
    EXPECT_EQ(r.destinationRoot, t.Path("out") + kPathDelimiter + s.stamp + kPathDelimiter);
    ExpectAsked(s.window.prompter.asked, {kQ2, kM6});
    s.ExpectEachFileOnce(t.Path("out"));
    Digests dst = test::DigestTree(t.Path("out"));
    for (const auto& [rel, medium] : s.mediumOf) {
        EXPECT_EQ(dst.count(s.stamp + "/" + std::to_string(medium) + "/" + rel), 1u) << rel;
    }
    for (std::size_t n = 1; n <= s.media.size(); ++n) {
        std::string expected;
        for (const std::string& p : s.media[n - 1]) {
            expected += test::Native(p) + "\r\n";  // the paths as the system writes them
        }
        EXPECT_EQ(test::ReadAll(IndexFileName(r.destinationRoot, s.stamp, n)), expected) << "medium " << n;
    }
    // Every folder without a remaining file is gone; the source folder itself stays.
    ASSERT_TRUE(t.Exists("src"));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(t.Path("src"))) {
        if (entry.is_directory()) {
            bool holdsFile = false;
            for (const auto& inner : std::filesystem::recursive_directory_iterator(entry.path())) {
                holdsFile |= inner.is_regular_file();
            }
            EXPECT_TRUE(holdsFile) << entry.path() << " should have been removed";
        }
    }
    EXPECT_EQ(s.window.clears, 1);
    EXPECT_FALSE(s.window.state.HasResult());
    EXPECT_FALSE(s.window.moveEnabled);
    EXPECT_GT(sink.calls, 0);
    EXPECT_EQ(sink.files, s.mediumOf.size());
}

TEST(MoveFiles, ChecksumFilesListEveryFileAsSha256sumChecksThem) {
    test::OtherFileSystem other;
    // Renamed within the file system and read in place; copied across and hashed as copied; the
    // user stopping the reading after the second file.
    const struct {
        const char* what;
        bool across;
        int stopAt;  // the checksum progress report that answers stop; 0: none
    } cases[] = {{"same file system", false, 0}, {"another file system", true, 0}, {"stopped", false, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempTree t;
        std::vector<std::pair<std::string, std::size_t>> files = test::NestedFiles();
        files.insert(files.end(), {{"写真/2004 夏.jpg", 4000}, {"名前/ａ.jpg", 3000}});
#ifndef _WIN32
        files.insert(
            files.end(),
            {{"odd/back\\slash.bin", 2500}, {"odd/line\nfeed.bin", 1500}, {"odd/\xff\xfe.bin", 900}});
#endif
        ScannedTree s(t.Path("src"), files);
        ASSERT_GE(s.media.size(), 3u);
        const std::string out = c.across ? other.Root(t) : t.Path("out");
        if (out.empty()) {
            continue;  // no second file system here
        }
        t.Folder("out");
        int hashingReports = 0;
        struct Hashing : test::ProgressRecorder {
            int* reports;
            int stopAt;
            bool Progress(const MoveProgress& p) override {
                test::ProgressRecorder::Progress(p);
                return !(p.checksums && ++*reports == stopAt);
            }
        } hashing;
        hashing.reports = &hashingReports;
        hashing.stopAt = c.stopAt;
        const MoveReport r = MoveFiles({out, OptionFlags::WriteChecksums}, s.window.state, s.window, hashing);
        ASSERT_EQ(r.outcome, MoveOutcome::Moved);
        EXPECT_EQ(r.checksumsStopped, c.stopAt != 0);
        // Copies are hashed as they are copied: nothing is read again.
        EXPECT_EQ(hashingReports > 0, !c.across);
        std::map<std::string, std::string> listed;  // path on the disc -> digest
        std::size_t before = 0;                     // files on the discs before this one
        for (std::size_t n = 1; n <= s.media.size(); before += s.media[n - 1].size(), ++n) {
            const std::string name = ChecksumFileName(r.destinationRoot, s.stamp, n);
            // Stopped at report k, the first k - 1 files were hashed: a disc not all among them has none.
            if (c.stopAt != 0 && before + s.media[n - 1].size() > static_cast<std::size_t>(c.stopAt - 1)) {
                EXPECT_FALSE(std::filesystem::exists(name)) << "disc " << n << " was not all hashed";
                continue;
            }
            const std::string text = test::ReadAll(name);
            // One line per file, as long as the packing counted it.
            std::uint64_t counted = 0;
            for (const std::string& p : s.media[n - 1]) {
                counted += ChecksumLineSize(test::Native(p));
            }
            EXPECT_EQ(text.size(), counted) << "disc " << n;
            EXPECT_FALSE(std::filesystem::exists(r.destinationRoot + std::to_string(n) + "/" +
                                                 IndexLeafName(s.stamp, n)));
            for (std::size_t at = 0; at < text.size();) {
                const std::size_t end = text.find('\n', at);
                const bool escaped = text[at] == '\\';
                listed[std::to_string(n) + "/" + text.substr(at + 66 + escaped, end - at - 66 - escaped)] =
                    text.substr(at + escaped, 64);
                at = end + 1;
            }
#ifndef _WIN32
            // The real tool, run in the disc's root, finds and checks every file; one changed byte fails it.
            const std::string folder = r.destinationRoot + std::to_string(n);
            const std::string check =
                "cd '" + folder + "' && sha256sum -c --quiet '" + name + "' >/dev/null 2>&1";
            EXPECT_EQ(std::system(check.c_str()), 0) << "disc " << n << ":\n" << text;
            if (n == 1 && c.stopAt == 0) {
                const std::string first = folder + "/" + s.media[0][0];
                std::FILE* f = std::fopen(first.c_str(), "r+b");
                ASSERT_NE(f, nullptr);
                const int byte = std::fgetc(f);
                std::fseek(f, 0, SEEK_SET);
                std::fputc(0x5A ^ byte, f);
                std::fclose(f);
                EXPECT_NE(std::system(check.c_str()), 0);
            }
#endif
        }
        // The catalogue beside the discs: every file with its disc, size and the same digest.
        const std::string catalogue = test::ReadAll(r.destinationRoot + "_catalog_" + s.stamp + ".tsv");
        ASSERT_EQ(r.catalogue, r.destinationRoot + "_catalog_" + s.stamp + ".tsv");
        std::size_t lines = 0, withDigest = 0;
        const std::map<std::string, std::size_t> sizes(files.begin(), files.end());
        CatalogueLine line;
        for (std::size_t at = catalogue.find('\n') + 1; at < catalogue.size(); ++lines) {
            const std::size_t end = catalogue.find('\n', at);
            ASSERT_TRUE(ParseCatalogueLine(std::string_view(catalogue).substr(at, end - at), line));
            at = end + 1;
            EXPECT_EQ(line.size, sizes.at(line.path)) << line.path;
            const auto d = listed.find(std::to_string(line.disc) + "/" + line.path);
            if (!line.sha256.empty()) {
                ++withDigest;
                if (d != listed.end()) {
                    EXPECT_EQ(line.sha256, d->second) << line.path;
                }
            }
        }
        EXPECT_EQ(lines, before);  // every packed file
        EXPECT_EQ(withDigest == before, c.stopAt == 0);
    }
}

TEST(MoveFiles, WithoutTheOptionsNoIndexFileAndNoFolderRemoved) {
    test::TempTree t;
    ScannedTree s(t.Path("src"));
    t.Folder("out");
    test::ProgressRecorder sink;
    MoveReport r = MoveFiles({t.Path("out"), 0}, s.window.state, s.window, sink);
    EXPECT_EQ(r.outcome, MoveOutcome::Moved);
    s.ExpectEachFileOnce(t.Path("out"));
    for (const auto& [rel, digest] : test::DigestTree(t.Path("out"))) {
        EXPECT_EQ(rel.find("_index_"), std::string::npos) << rel;
    }
    EXPECT_TRUE(t.Exists("src/x/y/z"));
}

TEST(MoveFiles, TheTransferListsAreNulSeparatedAndClosedWithOneMoreNul) {
    test::TempTree t;
    ScannedTree s(t.Path("src"), {{"a", 20000}, {"d/b", 20000}, {"c", 20000}});
    ASSERT_EQ(s.media.size(), 3u);
    TransferLists lists = BuildTransferLists(s.window.state, test::Native("/out/" + s.stamp + "/"));
    std::string sources, destinations;
    for (std::size_t n = 1; n <= 3; ++n) {
        const std::string& rel = s.media[n - 1][0];
        sources += test::Native(t.Path("src") + "/" + rel) + '\0';
        destinations += test::Native("/out/" + s.stamp + "/" + std::to_string(n) + "/" + rel) + '\0';
    }
    EXPECT_EQ(lists.sources, sources + '\0');
    EXPECT_EQ(lists.destinations, destinations + '\0');
    EXPECT_EQ(lists.count, 3u);

    ScanState empty;
    TransferLists none = BuildTransferLists(empty, "/out/x/");
    EXPECT_EQ(none.sources, std::string(1, '\0'));
    EXPECT_EQ(none.destinations, std::string(1, '\0'));
}

#ifndef _WIN32
// The checks and questions before the move, on real folders.
TEST(MoveFiles, ChecksAndQuestionsBeforeTheMove) {
    test::TempTree t;
    t.Folder("data/out");
    t.Folder("data2");
    t.Folder("other");
    t.Link("inside-link", t.Path("data/out"));
    t.Link("data-link", t.Path("data"));
    test::OtherFileSystem other;
    const std::string shm = other.Root(t);
    using A = MessageAnswer;
    struct Case {
        std::string what;
        std::string destination;
        std::vector<A> answers;
        std::vector<Q> asked;
        MoveOutcome outcome;
    } cases[] = {
        {"empty destination", "", {}, {kM1}, MoveOutcome::Refused},
        {"missing destination", t.Path("nowhere"), {}, {kM1}, MoveOutcome::Refused},
        {"same folder", t.Path("data"), {}, {kM2}, MoveOutcome::Refused},
        {"same folder with a trailing delimiter", t.Path("data") + "/", {}, {kM2}, MoveOutcome::Refused},
        {"same folder through . and ..", t.Path("data/out/../."), {}, {kM2}, MoveOutcome::Refused},
        {"same folder through a link", t.Path("data-link"), {}, {kM2}, MoveOutcome::Refused},
        {"inside", t.Path("data/out"), {}, {kM3}, MoveOutcome::Refused},
        {"inside through a link", t.Path("inside-link"), {}, {kM3}, MoveOutcome::Refused},
        {"a sibling whose name starts the same", t.Path("data2"), {A::Cancel}, {kQ2}, MoveOutcome::Declined},
        {"elsewhere, Q2 declined", t.Path("other"), {A::Cancel}, {kQ2}, MoveOutcome::Declined},
        {"elsewhere, Q2 closed", t.Path("other"), {A::No}, {kQ2}, MoveOutcome::Declined},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::RecordingWindow w;
        t.Write("data/f", std::string(20000, 'f'));
        ScanInput in;
        in.sourceFolder = t.Path("data");
        in.profile = test::SmallDiscs();
        ASSERT_TRUE(RunScan(in, w.state, w));
        w.moveEnabled = true;
        w.clears = 0;
        w.prompter.answers.assign(c.answers.begin(), c.answers.end());
        test::ProgressRecorder sink;
        std::string log = w.log.Text();
        MoveReport r = MoveFiles({c.destination, kIndexAndClean}, w.state, w, sink);
        EXPECT_EQ(r.outcome, c.outcome);
        ExpectAsked(w.prompter.asked, c.asked);
        // A stop before the move changes nothing: result, log and button stay.
        EXPECT_TRUE(w.state.HasResult());
        EXPECT_EQ(w.clears, 0);
        EXPECT_TRUE(w.moveEnabled);
        EXPECT_EQ(w.log.Text(), log);
        EXPECT_TRUE(t.Exists("data/f"));
        EXPECT_EQ(sink.calls, 0);
    }
    if (shm.empty()) {
        GTEST_SKIP() << "no second file system (tmpfs at /dev/shm) for the question about drives";
    }
    for (A answer : {A::Cancel, A::Ok}) {
        test::RecordingWindow w;
        ScanInput in;
        in.sourceFolder = t.Path("data");
        in.profile = test::SmallDiscs();
        ASSERT_TRUE(RunScan(in, w.state, w));
        w.prompter.answers = {answer, A::Cancel};
        test::ProgressRecorder sink;
        MoveReport r = MoveFiles({shm, 0}, w.state, w, sink);
        EXPECT_EQ(r.outcome, MoveOutcome::Declined);
        ExpectAsked(w.prompter.asked, answer == A::Ok ? std::vector<Q>{kQ1, kQ2} : std::vector<Q>{kQ1});
    }
}
#endif

#ifndef _WIN32
TEST(MoveFiles, CheckFoldersComparesWholePathComponents) {
    test::TempTree t;
    t.Folder("data/out");
    t.Folder("data2");
    struct Case {
        std::string source, destination;
        FolderCheck check;
    } cases[] = {
        {t.Path("data") + "/", t.Path("data2"), FolderCheck::Ok},
        {t.Path("data") + "/", t.Path("data/out"), FolderCheck::DestinationInsideSource},
        {t.Path("data") + "/", t.Path("data"), FolderCheck::SameFolder},
        {"/", t.Path("data"), FolderCheck::DestinationInsideSource},
        {"", t.Path("data"), FolderCheck::DestinationInsideSource},
        {t.Path("data/out") + "/", t.Path("data"), FolderCheck::Ok},
        {t.Path("gone") + "/", t.Path("data"), FolderCheck::Ok},
        {t.Path("data/gone") + "/", t.Path("data"), FolderCheck::Ok},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckFolders(c.source, c.destination).check, c.check)
            << c.source << " -> " << c.destination;
        EXPECT_FALSE(CheckFolders(c.source, c.destination).otherFileSystem);
    }
    // The source reached under another path through a bind mount is still the source.
    t.Folder("mnt");
    if (::mount(t.Path("data").c_str(), t.Path("mnt").c_str(), nullptr, MS_BIND, nullptr) != 0) {
        GTEST_SKIP() << "bind mounts need root";
    }
    FolderCheck same = CheckFolders(t.Path("data") + "/", t.Path("mnt")).check;
    FolderCheck inside = CheckFolders(t.Path("data") + "/", t.Path("mnt/out")).check;
    ::umount2(t.Path("mnt").c_str(), MNT_DETACH);
    EXPECT_EQ(same, FolderCheck::SameFolder);
    EXPECT_EQ(inside, FolderCheck::DestinationInsideSource);
}
#endif

TEST(MoveFiles, MovesTheScannedFolderNotAnotherOneWithTheSameNames) {
    test::TempTree t;
    ScannedTree s(t.Path("src"));
    Digests other = test::WriteRandomFiles(t.Path("typed"), test::NestedFiles(), 100);
    t.Folder("typed/out");
    // A destination inside the folder now in the source field passes: it is not the scanned one.
    test::ProgressRecorder sink;
    MoveReport r = MoveFiles({t.Path("typed/out"), 0}, s.window.state, s.window, sink);
    EXPECT_EQ(r.outcome, MoveOutcome::Moved);
    s.ExpectEachFileOnce(t.Path("typed/out"));
    Digests typed = test::DigestTree(t.Path("typed"));
    for (const auto& [rel, digest] : other) {
        EXPECT_EQ(typed[rel], digest) << rel;
    }
}

TEST(MoveFiles, CancelPartWayKeepsWhatMovedAndWritesNothingMore) {
    test::TempTree t;
    ScannedTree s(t.Path("src"));
    t.Folder("out");
    test::ProgressRecorder sink;
    sink.onCall = [&sink](int) { return sink.files < 3; };
    s.window.clears = 0;
    MoveReport r = MoveFiles({t.Path("out"), kIndexAndClean}, s.window.state, s.window, sink);
    EXPECT_EQ(r.outcome, MoveOutcome::Cancelled);
    ExpectAsked(s.window.prompter.asked, {kQ2, kM4});
    s.ExpectEachFileOnce(t.Path("out"));
    Digests dst = test::DigestTree(t.Path("out"));
    EXPECT_EQ(dst.size(), 3u);  // three files, no index file
    EXPECT_TRUE(t.Exists("src/x/y/z"));
    EXPECT_EQ(s.window.clears, 1);
    EXPECT_FALSE(s.window.state.HasResult());
}

TEST(MoveFiles, WhatStandsAtTheStampFolderIsLeftAloneAndTheMoveTakesTheNextName) {
    // An earlier move of the same second, a link planted in a destination others can write, a file.
    for (const char* planted : {"earlier move", "link", "file"}) {
        SCOPED_TRACE(planted);
#ifdef _WIN32
        if (std::string_view(planted) == "link") {
            continue;  // making a link needs a privilege the tests do not have
        }
#endif
        test::TempTree t;
        ScannedTree s(t.Path("src"));
        t.Folder("out");
        t.Folder("elsewhere");
        const std::string earlier = "out/" + s.stamp + "/1/" + s.media[0][0];
        if (std::string_view(planted) == "earlier move") {
            t.Write(earlier, "moved before");
        } else if (std::string_view(planted) == "link") {
            std::filesystem::create_directory_symlink(t.Path("elsewhere"), t.Path("out/" + s.stamp));
        } else {
            t.Write("out/" + s.stamp, "a file");
        }
        test::ProgressRecorder sink;
        MoveReport r = MoveFiles({t.Path("out"), kIndexAndClean}, s.window.state, s.window, sink);
        EXPECT_EQ(r.outcome, MoveOutcome::Moved);
        ExpectAsked(s.window.prompter.asked, {kQ2, kM6});
        s.folder = s.stamp + "-2";
        EXPECT_EQ(r.destinationRoot, test::Native(t.Path("out/" + s.folder + "/")));
        EXPECT_TRUE(std::filesystem::exists(IndexFileName(r.destinationRoot, s.stamp, 1)));
        EXPECT_TRUE(test::DigestTree(t.Path("elsewhere")).empty());
        if (std::string_view(planted) == "earlier move") {
            EXPECT_EQ(test::ReadAll(t.Path(earlier)), "moved before");
        } else if (std::string_view(planted) == "file") {
            EXPECT_EQ(test::ReadAll(t.Path("out/" + s.stamp)), "a file");
        }
        std::filesystem::remove_all(t.Path("out/" + s.stamp));
        s.ExpectEachFileOnce(t.Path("out"));
    }
}

TEST(MoveFiles, ASourceFileNamedLikeAnIndexFileRefusesTheMove) {
    test::TempTree t;
    // The largest file goes first onto the first disc.
    auto files = test::NestedFiles();
    files.emplace_back("_index_20000101-000000-1.txt", 9500);
    ScannedTree s(t.Path("src"), files);
    s.window.state.scanStamp = "20000101-000000";
    t.Folder("out");
    test::ProgressRecorder sink;
    MoveReport r = MoveFiles({t.Path("out"), OptionFlags::WriteIndex}, s.window.state, s.window, sink);
    EXPECT_EQ(r.outcome, MoveOutcome::Refused);
    ASSERT_EQ(s.window.prompter.asked.size(), 1u);
    EXPECT_NE(s.window.prompter.asked[0].text.find(test::Native("src/_index_20000101-000000-1.txt")),
              std::string::npos);
    EXPECT_TRUE(s.window.state.HasResult());
    EXPECT_EQ(test::DigestTree(t.Path("src")), s.digests);
    // Without index files the name is an ordinary name.
    EXPECT_EQ(MoveFiles({t.Path("out"), 0}, s.window.state, s.window, sink).outcome, MoveOutcome::Moved);
}

TEST(MoveFiles, ASourceFileRemovedAfterTheScanFailsTheMove) {
    test::TempTree t;
    ScannedTree s(t.Path("src"));
    t.Folder("out");
    const std::string gone = s.media[0][0];
    std::filesystem::remove(t.Path("src/" + gone));
    s.digests.erase(gone);
    s.window.clears = 0;
    test::ProgressRecorder sink;
    MoveReport r = MoveFiles({t.Path("out"), kIndexAndClean}, s.window.state, s.window, sink);
    EXPECT_EQ(r.outcome, MoveOutcome::Failed);
    ExpectAsked(s.window.prompter.asked, {kQ2, kM5});
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].source, t.Path("src/" + gone));
    s.ExpectEachFileOnce(t.Path("out"));
    EXPECT_EQ(test::DigestTree(t.Path("out")).size(), s.mediumOf.size() - 1);  // no index files
    EXPECT_TRUE(t.Exists("src/x/y/z"));
    EXPECT_EQ(s.window.clears, 1);
}

TEST(MoveFiles, AFileChangedAfterTheScanMovesAsItIsNow) {
    // Shorter, it still fits; grown past what its disc holds, the disc is named in red.
    for (std::size_t size : {20u, 30000u}) {
        SCOPED_TRACE(size);
        test::TempTree t;
        ScannedTree s(t.Path("src"));
        t.Folder("out");
        const std::string changed = s.media[0][0];
        const std::string content = test::RandomContent(size, 9);
        t.Write("src/" + changed, content);
        s.digests[changed] = test::Digest(content);
        test::ProgressRecorder sink;
        bool red = false;  // in the log while the closing message is shown
        s.window.prompter.onAsk = [&] {
            for (const auto& run : s.window.log.Runs()) {
                red =
                    red || (run.color == LogColor::Red && run.text.find("メディア 1 ") != std::string::npos);
            }
        };
        MoveReport r = MoveFiles({t.Path("out"), 0}, s.window.state, s.window, sink);
        EXPECT_EQ(r.outcome, MoveOutcome::Moved);
        EXPECT_EQ(r.overfull, size > 20 ? std::vector<std::size_t>{1} : std::vector<std::size_t>{});
        EXPECT_EQ(red, size > 20);
        s.ExpectEachFileOnce(t.Path("out"));
    }
}

#ifndef _WIN32
TEST(MoveFiles, AReadOnlyDestinationFolderFailsAndLosesNothing) {
    test::TempTree t;
    ScannedTree s(t.Path("src"));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(t.Root())) {
        ::chmod(entry.path().c_str(), entry.is_directory() ? 0777 : 0666);
    }
    ::chmod(t.Root().c_str(), 0777);
    t.Folder("out");
    ::chmod(t.Path("out").c_str(), 0555);
    // Its own folder cannot be made there: nothing is tried, and the result stays for another try.
    int status = test::RunAsNobody([&] {
        test::ProgressRecorder sink;
        MoveReport r = MoveFiles({t.Path("out"), kIndexAndClean}, s.window.state, s.window, sink);
        bool ok = r.outcome == MoveOutcome::Refused && r.failures.empty() && s.window.state.HasResult() &&
                  s.window.prompter.asked.back().text.find(s.stamp) != std::string::npos;
        return ok ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    s.ExpectEachFileOnce(t.Path("out"));
    EXPECT_EQ(test::DigestTree(t.Path("src")), s.digests);
}
#endif

#ifndef _WIN32
TEST(MoveFiles, ADestinationThatFillsUpFailsAndLosesNothing) {
    test::TempTree t;
    std::vector<std::pair<std::string, std::size_t>> big;
    for (int i = 0; i < 8; ++i) {
        big.emplace_back("d" + std::to_string(i % 3) + "/f" + std::to_string(i), 300000);
    }
    // Four files to a medium, so all eight are packed but only some fit the 1 MiB file system.
    t.Folder("small");
    if (::mount("tmpfs", t.Path("small").c_str(), "tmpfs", 0, "size=1m") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    }
    struct Unmount {
        std::string where;
        ~Unmount() { ::umount2(where.c_str(), MNT_DETACH); }
    } unmount{t.Path("small")};
    test::RecordingWindow w;
    Digests files = test::WriteRandomFiles(t.Path("src"), big, 100);
    ScanInput in;
    in.sourceFolder = t.Path("src");
    in.profile = MediaProfile{2048, 600, 2, 0};
    ASSERT_TRUE(RunScan(in, w.state, w));
    ASSERT_EQ(w.state.result.media.size(), 2u);
    const std::string stamp = w.state.scanStamp;
    std::map<std::string, std::size_t> mediumOf;
    std::vector<const FileItem*> list;
    for (std::size_t n = 0; n < 2; ++n) {
        BuildFileList(w.state.result.media[n], list);
        for (const FileItem* f : list) {
            mediumOf[std::string(f->path())] = n + 1;
        }
    }
    test::ProgressRecorder sink;
    MoveReport r = MoveFiles({t.Path("small"), kIndexAndClean}, w.state, w, sink);
    EXPECT_EQ(r.outcome, MoveOutcome::Failed);
    EXPECT_FALSE(r.failures.empty());
    ExpectAsked(w.prompter.asked, {kQ1, kQ2, kM5});
    Digests src = test::DigestTree(t.Path("src"));
    Digests dst = test::DigestTree(t.Path("small"));
    for (const auto& [rel, digest] : files) {
        std::string dest = stamp + "/" + std::to_string(mediumOf.at(rel)) + "/" + rel;
        EXPECT_NE(src.count(rel), dst.count(dest)) << rel << " must be in exactly one place";
        EXPECT_EQ(src.count(rel) ? src[rel] : dst[dest], digest) << rel;
    }
    EXPECT_EQ(dst.size(), files.size() - src.size()) << "no partial or temporary file is left";
}
#endif

#ifndef _WIN32
TEST(MoveFiles, KilledPartWayAcrossFileSystemsLosesNothing) {
    test::TempTree t;
    test::OtherFileSystem other;
    const std::string shm = other.Root(t);
    if (shm.empty()) {
        GTEST_SKIP() << "no second file system (tmpfs at /dev/shm) to move from";
    }
    std::vector<std::pair<std::string, std::size_t>> files;
    for (int i = 0; i < 9; ++i) {
        files.emplace_back("d" + std::to_string(i % 3) + "/f" + std::to_string(i), (i % 3 + 1) * (3u << 20));
    }
    for (int killAt : {2, 5, 9}) {
        SCOPED_TRACE("killed at progress call " + std::to_string(killAt));
        std::filesystem::remove_all(shm + "/src");
        std::filesystem::remove_all(t.Path("out"));
        t.Folder("out");
        test::RecordingWindow w;
        Digests digests = test::WriteRandomFiles(shm + "/src", files, 100);
        ScanInput in;
        in.sourceFolder = shm + "/src";
        in.profile = MediaProfile{2048, 12000, 2, 0};  // about 23 MiB per medium
        ASSERT_TRUE(RunScan(in, w.state, w));
        ASSERT_GE(w.state.result.media.size(), 2u);
        const std::string stamp = w.state.scanStamp;
        std::map<std::string, std::size_t> mediumOf;
        std::vector<const FileItem*> list;
        for (std::size_t n = 0; n < w.state.result.media.size(); ++n) {
            BuildFileList(w.state.result.media[n], list);
            for (const FileItem* f : list) {
                mediumOf[std::string(f->path())] = n + 1;
            }
        }
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            test::ProgressRecorder sink;
            sink.onCall = [&sink, killAt](int) {
                if (sink.calls == killAt) {
                    ::raise(SIGKILL);
                }
                return true;
            };
            MoveFiles({t.Path("out"), kIndexAndClean}, w.state, w, sink);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        Digests src = test::DigestTree(shm + "/src");
        Digests dst = test::DigestTree(t.Path("out"));
        std::size_t both = 0, placed = 0;
        for (const auto& [rel, digest] : digests) {
            std::string dest =
                mediumOf.count(rel) ? stamp + "/" + std::to_string(mediumOf[rel]) + "/" + rel : "";
            bool inSource = src.count(rel) != 0, atDestination = dst.count(dest) != 0;
            EXPECT_TRUE(inSource || atDestination) << rel << " was lost";
            EXPECT_TRUE(!inSource || src[rel] == digest) << rel;
            EXPECT_TRUE(!atDestination || dst[dest] == digest) << rel << " is partial at its destination";
            both += inSource && atDestination;
            placed += atDestination;
        }
        EXPECT_LE(both, 1u) << "only the file in flight may be in both places";
        std::size_t temps = test::TempLeftovers(dst).size();
        EXPECT_LE(temps, 1u);
        EXPECT_EQ(dst.size(), placed + temps);
    }
}
#endif

}  // namespace
}  // namespace stowra

namespace stowra {
namespace {

#ifndef _WIN32
// What a real image builder says a folder's image takes, in sectors; -1 when it could not tell.
long long BuilderSectors(const std::string& command, const std::string& folder) {
    std::string line = "LC_ALL=C.UTF-8 " + command + " -print-size -quiet '" + folder + "' 2>/dev/null";
    std::FILE* p = ::popen(line.c_str(), "r");
    if (p == nullptr) {
        return -1;
    }
    long long sectors = -1;
    if (std::fscanf(p, "%lld", &sectors) != 1) {
        sectors = -1;
    }
    ::pclose(p);
    return sectors;
}
#endif

#ifndef _WIN32
// Discs packed for a file system fit under the real image builders, their index files included,
// and a full disc wastes little more than the safety margin.
TEST(MoveFiles, DiscsPackedForAFileSystemFitUnderTheImageBuilders) {
    if (std::system("command -v xorriso >/dev/null && command -v genisoimage >/dev/null") != 0) {
        GTEST_SKIP() << "xorriso and genisoimage are installed by scripts/setup.sh";
    }
    const std::string kXorriso = "xorriso -as mkisofs -iso-level 3 -r -J --joliet-long";
    const std::string kGenisoimage = "genisoimage -r -J --joliet-long";
    struct Case {
        const char* what;
        FileSystem fs;
        MediaProfile profile;
        int files;
        double medianBytes;
        std::int32_t options;  // what the move writes onto each disc beside the files
    } cases[] = {
        {"DVD-R, ISO 9660",
         FileSystem::Iso9660,
         {2048, 2298496, 256, 3840},
         2500,
         3e6,
         OptionFlags::WriteIndex},
        {"DVD-R, UDF", FileSystem::Udf, {2048, 2298496, 256, 3840}, 2500, 3e6, OptionFlags::WriteIndex},
        {"CD-R, ISO 9660, checksums",
         FileSystem::Iso9660,
         {2048, 359850, 256, 3840},
         1500,
         0.8e6,
         OptionFlags::WriteIndex | OptionFlags::WriteChecksums},
        {"CD-R, UDF, checksums",
         FileSystem::Udf,
         {2048, 359850, 256, 3840},
         1500,
         0.8e6,
         OptionFlags::WriteIndex | OptionFlags::WriteChecksums},
    };
    const char* names[] = {"photo", "写真の整理", "a b c", "x", "IMG_0001.JPG", "very-long-name-"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempTree t;
        std::mt19937 rng(static_cast<unsigned>(c.files));
        std::lognormal_distribution<double> size(std::log(c.medianBytes), 1.2);
        for (int i = 0; i < c.files; ++i) {
            std::string rel = "f" + std::to_string(i % 7) + "/" + names[i % 6] + std::to_string(i % 53) + "/";
            if (i % 5 == 0) {
                rel += "deeper/" + std::string(names[(i / 5) % 6]) + "/";
            }
            std::string leaf = names[(i / 3) % 6] + std::to_string(i);
            if (i % 11 == 0) {
                leaf += std::string(120, 'L');
            }
            t.File("src/" + rel + leaf + ".dat",
                   std::min<std::uint64_t>(static_cast<std::uint64_t>(size(rng)), 1ull << 31));
        }
        t.Folder("out");
        test::RecordingWindow w;
        ScanInput in;
        in.sourceFolder = t.Path("src");
        in.profile = c.profile;
        in.profile.fileSystem = c.fs;
        in.options = c.options;
        ASSERT_TRUE(RunScan(in, w.state, w));
        const std::size_t discs = w.state.result.media.size();
        ASSERT_GE(discs, 2u);
        EXPECT_NE(w.log.Text().find(std::string("ファイルシステム = ") + FileSystemCaption(c.fs)),
                  std::string::npos);
        std::vector<std::uint32_t> used;
        for (const PackedMedium& m : w.state.result.media) {
            used.push_back(m.used);
        }
        const std::string stamp = w.state.scanStamp;
        test::ProgressRecorder sink;
        ASSERT_EQ(MoveFiles({t.Path("out"), c.options}, w.state, w, sink).outcome, MoveOutcome::Moved);

        const auto total = static_cast<long long>(c.profile.Total);
        for (std::size_t n = 1; n <= discs; ++n) {
            const std::string folder = t.Path("out/" + stamp + "/" + std::to_string(n));
            std::vector<long long> figures;
            if (c.fs == FileSystem::Udf) {
                figures.push_back(BuilderSectors(kGenisoimage + " -udf", folder));
            } else {
                figures.push_back(BuilderSectors(kXorriso, folder));
                figures.push_back(BuilderSectors(kGenisoimage, folder));
            }
            for (long long built : figures) {
                ASSERT_GT(built, 0) << "disc " << n;
                EXPECT_LE(built, static_cast<long long>(used[n - 1]))
                    << "disc " << n << ": the model is below";
                EXPECT_LE(built + c.profile.System, total) << "disc " << n << " does not fit";
                if (n < discs) {
                    EXPECT_LE(total - built, c.profile.System + total / 1000)
                        << "disc " << n << " wastes room";
                }
            }
        }
    }
}
#endif

}  // namespace
}  // namespace stowra
