#ifndef _WIN32
#include <fcntl.h>
#endif
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "cli/CliRunner.h"
#include "platform/Text.h"
#include "relocate/IndexFiles.h"
#include "support/OtherFileSystem.h"
#include "support/TempTree.h"
#include "support/TreeDigest.h"

namespace stowra::test {
namespace {

const std::vector<std::string> kSmallDiscs = {"--cluster", "2048", "--total", "12", "--system", "2"};

std::vector<std::string> MoveArgs(const TempTree& t, std::vector<std::string> extra) {
    std::vector<std::string> args = {"move", t.Path("src"), t.Path("out")};
    args.insert(args.end(), kSmallDiscs.begin(), kSmallDiscs.end());
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// Three full media of 10 sectors each, one file left over, nested folders.
Digests MakeTree(const TempTree& t) {
    Digests digests = WriteRandomFiles(
        t.Path("src"),
        {{"a/one", 20000}, {"a/b/two", 12000}, {"a/b/three", 8000}, {"c/four", 20000}, {"d/e/rest", 3000}},
        7);
    t.Folder("out");
    return digests;
}

TEST(MoveCli, MovesIntoTheStampAndMediumFoldersWithIndexFilesAndCleanup) {
    // Each flag does its own job, with the other or alone.
    for (auto [index, removeEmpty] : {std::pair{true, true}, {true, false}, {false, true}}) {
        SCOPED_TRACE(std::string(index ? " --index" : "") + (removeEmpty ? " --remove-empty" : ""));
        TempTree t;
        auto digests = MakeTree(t);
        std::vector<std::string> extra = {"--yes", "--json"};
        if (index)
            extra.push_back("--index");
        if (removeEmpty)
            extra.push_back("--remove-empty");
        CliResult r = RunCli(MoveArgs(t, extra));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        auto doc = nlohmann::json::parse(r.out);
        EXPECT_EQ(doc["outcome"], "moved");
        const std::string stamp = doc["stamp"];
        EXPECT_EQ(doc["destination"], t.Path("out") + kPathDelimiter + stamp + kPathDelimiter);
        ASSERT_EQ(doc["media"].size(), 3u);
        auto dst = DigestTree(t.Path("out") + "/" + stamp);
        std::size_t moved = 0;
        for (const auto& medium : doc["media"]) {
            const std::string n = std::to_string(medium["number"].get<int>());
            std::string list;
            for (const auto& p : medium["paths"]) {
                const std::string rel = p;
                EXPECT_EQ(dst[n + "/" + rel], digests[rel]) << rel;
                list += rel + "\r\n";
                ++moved;
            }
            const std::string indexFile = "out/" + stamp + "/" + n + "/_index_" + stamp + "-" + n + ".txt";
            EXPECT_EQ(t.Exists(indexFile), index);
            if (index) {
                EXPECT_EQ(ReadAll(t.Path(indexFile)), list);
            }
        }
        EXPECT_EQ(moved, 4u);
        EXPECT_EQ(DigestTree(t.Path("src")),
                  (std::map<std::string, std::uint64_t>{{"d/e/rest", digests["d/e/rest"]}}));
        EXPECT_EQ(t.Exists("src/a"), !removeEmpty);
        EXPECT_EQ(t.Exists("src/c"), !removeEmpty);
        EXPECT_TRUE(t.Exists("src/d/e"));
        EXPECT_NE(r.err.find("[確認] 対象ファイルを移動してよいですか？"), std::string::npos);
        EXPECT_NE(r.err.find("[メッセージ] 対象ファイルを移動しました"), std::string::npos);
        EXPECT_NE(r.err.find("4 / 4 ファイル"), std::string::npos);
    }
}

TEST(MoveCli, ChecksumFilesAndVerifyFindWhatChangedOnADisc) {
    TempTree t;
    MakeTree(t);
    CliResult r = RunCli(MoveArgs(t, {"--yes", "--json", "--checksums"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    const std::string stamp = doc["stamp"];
    ASSERT_EQ(doc["media"].size(), 3u);
    auto disc = [&](int n) { return t.Path("out/" + stamp + "/" + std::to_string(n)); };
    for (int n = 1; n <= 3; ++n) {
        EXPECT_TRUE(t.Exists("out/" + stamp + "/" + std::to_string(n) + "/_sha256_" + stamp + "-" +
                             std::to_string(n) + ".txt"));
        EXPECT_EQ(RunCli({"verify", disc(n)}).exitCode, 0) << n;
    }
    // One changed byte, one file gone, one file added: each is named, and the exit code says so.
    const std::string first = doc["media"][0]["paths"][0];
    const std::string second = doc["media"][1]["paths"][0];
    t.Write("out/" + stamp + "/1/" + first, "not what was burned");
    t.Write("out/" + stamp + "/1/extra.txt", "x");
    std::filesystem::remove(disc(2) + "/" + second);
    const struct {
        int disc;
        std::string path, state;
    } cases[] = {{1, first, "changed"}, {1, "extra.txt", "unlisted"}, {2, second, "missing"}};
    for (const auto& c : cases) {
        CliResult v = RunCli({"verify", disc(c.disc), "--json"});
        EXPECT_EQ(v.exitCode, 1) << c.path;
        const auto report = nlohmann::json::parse(v.out);
        EXPECT_EQ(report["ok"], false);
        bool found = false;
        for (const auto& f : report["files"]) {
            found = found || (f["path"] == Native(c.path) && f["state"] == c.state);
        }
        EXPECT_TRUE(found) << c.path << " " << c.state << "\n" << v.out;
    }
    EXPECT_NE(RunCli({"verify", disc(1)}).out.find("変更されています: " + Native(first)), std::string::npos);
    EXPECT_EQ(RunCli({"verify", t.Path("src")}).exitCode, 2) << "nothing to check against";

    // The catalogue beside the discs, and the same per file in the JSON; `where` reads it with a
    // second set's catalogue, named or found below the settings' destination folder.
    ASSERT_EQ(doc["files"].size(), 4u);
    for (const auto& f : doc["files"]) {
        EXPECT_EQ(f["sha256"].get<std::string>().size(), 64u) << f;
    }
    const std::string catalogue = doc["catalogue"];
    t.Write("out/20250101-000000/_catalog_20250101-000000.tsv",
            std::string(kCatalogueHeader) + Utf8("7\tjapan/写真 1.JPG\t5\t2025-01-01 00:00:00\t\n") +
                "8\ta/one\t9\t2025-01-01 00:00:00\t\n");
    t.Write("stowra.ini", "[Stowra]\nDstFolder=" + t.Path("out") + "\n");
    const std::string older = t.Path("out/20250101-000000/_catalog_20250101-000000.tsv");
    const std::string a_one = Native("a/one");
    auto on = [&](const std::string& path) {  // "stamp<TAB>disc<TAB>path" of this move
        for (const auto& f : doc["files"]) {
            if (f["path"] == path) {
                return stamp + "\t" + std::to_string(f["disc"].get<int>()) + "\t" + Native(path);
            }
        }
        return std::string("not moved: ") + path;
    };
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::vector<std::string> lines;
    } where[] = {
        {{"a/one", catalogue, older}, 0, {on("a/one"), "20250101-000000\t8\t" + a_one}},
        {{"*.jpg", catalogue, older}, 0, {"20250101-000000\t7\t" + Native("japan/写真 1.JPG")}},
        {{"[ab]/*o", catalogue}, 0, {on("a/b/two")}},
        {{"one", "--settings", t.Path("stowra.ini")}, 0, {"20250101-000000\t8\t" + a_one, on("a/one")}},
        {{"nowhere", catalogue}, 1, {}},
        {{"x", t.Path("missing.tsv")}, 2, {}},
    };
    for (const auto& c : where) {
        std::vector<std::string> args = {"where"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CliResult w = RunCli(args);
        EXPECT_EQ(w.exitCode, c.exitCode) << c.args[0] << "\n" << w.err;
        std::string expected;
        for (const std::string& line : c.lines) {
            expected += line + "\n";
        }
        EXPECT_EQ(w.out, expected) << c.args[0];
    }
}

TEST(MoveCli, OnlyAFullMoveExitsWithZero) {
    struct Case {
        const char* what;
        std::vector<std::string> extra;
        std::string input;
        std::string outOf;  // destination relative to the temp root, "" for the default
        std::string outcome;
        std::string message;  // on standard error
    } cases[] = {
        {"declined on the terminal",
         {"--json"},
         "n\n",
         "",
         "cancelled",
         "対象ファイルを移動してよいですか？"},
        {"no answer at all", {"--json"}, "", "", "cancelled", "対象ファイルを移動してよいですか？"},
        {"destination inside the source",
         {"--json", "--yes"},
         "",
         "src/a",
         "refused",
         "出力フォルダが入力フォルダ配下に含まれてしまっています"},
        {"destination missing",
         {"--json", "--yes"},
         "",
         "missing",
         "refused",
         "出力フォルダが見つかりません"},
    };
    for (const Case& c : cases) {
        TempTree t;
        auto digests = MakeTree(t);
        auto args = MoveArgs(t, c.extra);
        if (!c.outOf.empty())
            args[2] = t.Path(c.outOf);
        CliResult r = RunCli(args, c.input);
        EXPECT_EQ(r.exitCode, 1) << c.what;
        auto doc = nlohmann::json::parse(r.out);
        EXPECT_EQ(doc["outcome"], c.outcome) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << "\n" << r.err;
        EXPECT_EQ(DigestTree(t.Path("src")), digests) << c.what;
    }
}

TEST(MoveCli, WhatEarlierMovesLeftIsNeverReplacedOrWrittenInto) {
    // Earlier moves of the same second left an index file's place taken and a file of this tree,
    // on each disc, for any stamp the run may take: the move makes a folder of its own beside them.
    TempTree t;
    auto digests = MakeTree(t);
    for (std::time_t s = std::time(nullptr), i = 0; i < 4; ++i) {
        t.Folder("out/" + StampAt(s + i) + "/1/_index_" + StampAt(s + i) + "-1.txt");
        for (const char* n : {"1", "2", "3"}) {
            t.Write("out/" + StampAt(s + i) + "/" + n + "/a/one", "old");
        }
    }
    CliResult r = RunCli(MoveArgs(t, {"--yes", "--index", "--json"}));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["outcome"], "moved");
    EXPECT_TRUE(doc["indexFailures"].empty());
    const std::string destination = doc["destination"].get<std::string>();
    EXPECT_NE(destination.find(Utf8(Native("-2/"))), std::string::npos) << destination;
    for (const auto& [rel, digest] : DigestTree(t.Path("out"))) {
        if (rel.ends_with("/a/one") && rel.find("-2/") == std::string::npos) {
            EXPECT_EQ(digest, Digest("old")) << rel;
        }
    }
    EXPECT_EQ(DigestTree(t.Path("src")),
              (std::map<std::string, std::uint64_t>{{"d/e/rest", digests["d/e/rest"]}}));
}

#ifndef _WIN32
TEST(MoveCli, InterruptHangUpOrAClosedOutputCancelsAndLeavesNoUnfinishedCopy) {
    // 0 stands for the reader of standard error going away (`move 2>&1 | head`).
    for (int signal : {SIGINT, SIGHUP, 0}) {
        SCOPED_TRACE(signal == 0 ? "closed standard error" : strsignal(signal));
        TempTree t;
        OtherFileSystem other;
        const std::string from = other.Root(t);
        if (from.empty()) {
            GTEST_SKIP() << "no tmpfs at /dev/shm";
        }
        {
            std::ofstream f(from + "/big", std::ios::binary);
            std::string chunk(1 << 20, 'x');
            for (int i = 0; i < 256; ++i) {
                f.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            }
        }
        t.Folder("out");
        int err[2];
        ASSERT_EQ(::pipe(err), 0);
        pid_t pid = ::fork();
        if (pid == 0) {
            int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0), ::dup2(null, 1), ::dup2(err[1], 2);
            ::close(err[0]);
            ::execl(STOWRA_CLI, STOWRA_CLI, "move", from.c_str(), t.Path("out").c_str(), "--cluster", "2048",
                    "--total", "131072", "--system", "0", "--yes", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(err[1]);
        ::fcntl(err[0], F_SETFL, O_NONBLOCK);
        // Stop it while the copy runs, then signal it (or stop reading what it says).
        bool seen = false;
        char drain[4096];
        for (int i = 0; i < 20000 && !seen; ++i) {
            ::usleep(500);
            while (::read(err[0], drain, sizeof drain) > 0) {
            }
            std::error_code ec;
            for (auto it = std::filesystem::recursive_directory_iterator(t.Path("out"), ec);
                 !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
                seen = seen || it->path().filename().string().rfind(".stowra-tmp-", 0) == 0;
            }
        }
        ::kill(pid, SIGSTOP);
        if (signal != 0) {
            ::kill(pid, signal);
            ::fcntl(err[0], F_SETFL, 0);
        } else {
            ::close(err[0]);
        }
        ::kill(pid, SIGCONT);
        if (signal != 0) {
            while (::read(err[0], drain, sizeof drain) > 0) {
            }
            ::close(err[0]);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(seen);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
        EXPECT_TRUE(TempLeftovers(DigestTree(t.Path("out"))).empty());
        EXPECT_EQ(std::filesystem::file_size(from + "/big"), 256u << 20);
    }
}
#endif

TEST(MoveCli, ARunThatPacksNothingStillClearsAKilledMovesCopies) {
    TempTree t;
    t.Write("src/small", "too little for a disc");
    t.Write("out/20000101-000000/1/.stowra-tmp-1-1", "half a copy");
    t.Write("out/20000101-000000/1/kept", "a moved file");
    CliResult r = RunCli(MoveArgs(t, {"--yes"}));
    EXPECT_NE(r.err.find("何も移動しませんでした"), std::string::npos) << r.err;
    EXPECT_EQ(DigestTree(t.Path("out")),
              (std::map<std::string, std::uint64_t>{{"20000101-000000/1/kept", Digest("a moved file")}}));
}

TEST(MoveCli, PlainTextReportThenTheMove) {
    TempTree t;
    MakeTree(t);
    CliResult r = RunCli(MoveArgs(t, {}), "y\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("対象ファイル数 = 5", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("メディア 3:"), std::string::npos);
    EXPECT_NE(r.err.find("ファイルを移動しています・・・"), std::string::npos);
}

}  // namespace
}  // namespace stowra::test
