#include <gtest/gtest.h>
#ifndef _WIN32
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <nlohmann/json.hpp>

#include "cli/CliRunner.h"
#include "cli/JsonWriter.h"
#include "cli/ScanCommand.h"
#include "platform/Process.h"
#include "support/Recorders.h"
#include "support/TempTree.h"
#include "support/TreeDigest.h"
#include "support/WorkedExample.h"

namespace stowra::test {
namespace {

const std::vector<std::string> kExampleProfile = {"--cluster", "2048", "--total", "100",
                                                  "--system",  "10",   "--slack", "4"};

std::vector<std::string> Args(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(ScanCli, EndToEndExampleLineForLine) {
    TempTree t;
    WriteExampleFiles(t);
    const std::string japanese =
        "対象ファイル数 = 8 （サイズ = 600.0000 KiB）\n"
        "うまく詰め込めなかった残りファイル数 = 3 （サイズ = 246.0000 KiB）\n"
        "必要なメディア枚数 = 2\n"
        "平均詰め込み率 = 98.5000 %{slack}\n"
        "［対象を移動］を押すと、詰め込み対象ファイルを出力フォルダ配下へ移動できます。\n" +
        std::string(test::kExampleDiscsWouldNotFit) +
        "\n"
        "\nメディア 1: 2 ファイル, 200.0000 KiB, 100.0000 %\n"
        "  s50.bin (100.0000 KiB)\n"
        "  s40.bin (80.0000 KiB)\n"
        "\nメディア 2: 3 ファイル, 194.0000 KiB, 97.0000 %\n"
        "  s45.bin (90.0000 KiB)\n"
        "  s30.bin (60.0000 KiB)\n"
        "  s12.bin (24.0000 KiB)\n"
        "\n残り: 3 ファイル, 246.0000 KiB\n"
        "  s95.bin (190.0000 KiB)\n"
        "  s20.bin (40.0000 KiB)\n"
        "  s8.bin (16.0000 KiB)\n";
    const std::string english =
        "Files = 8 (size = 600.0000 KiB)\n"
        "Files left over = 3 (size = 246.0000 KiB)\n"
        "Discs needed = 2\n"
        "Average fill rate = 98.5000 %{slack}\n"
        "Press [Move files] to move the packed files into the destination folder.\n"
        "2 disc(s) would not burn with the file system (ISO9660 + Joliet): up to 173 sectors past the "
        "total size.\n"
        "2 disc(s) would not burn with the file system (UDF): up to 415 sectors past the total size.\n"
        "Open the disc type with [Edit] and choose its \"File system\" to pack the discs so that they fit.\n"
        "\nDisc 1: 2 file(s), 200.0000 KiB, 100.0000 %\n"
        "  s50.bin (100.0000 KiB)\n"
        "  s40.bin (80.0000 KiB)\n"
        "\nDisc 2: 3 file(s), 194.0000 KiB, 97.0000 %\n"
        "  s45.bin (90.0000 KiB)\n"
        "  s30.bin (60.0000 KiB)\n"
        "  s12.bin (24.0000 KiB)\n"
        "\nLeft over: 3 file(s), 246.0000 KiB\n"
        "  s95.bin (190.0000 KiB)\n"
        "  s20.bin (40.0000 KiB)\n"
        "  s8.bin (16.0000 KiB)\n";
    // The language comes from the locale variables' text, installed or not.
    const struct {
        std::vector<std::string> environment;
        const std::string& expected;
        const char* slackLine;
    } cases[] = {
        {{}, japanese, " (スラックサイズによる下限 = 86.0000 %)"},
        {{"LANG=ja_JP.UTF-8"}, japanese, " (スラックサイズによる下限 = 86.0000 %)"},
        {{"LANG=C.UTF-8"}, japanese, " (スラックサイズによる下限 = 86.0000 %)"},
        {{"LC_ALL", "LC_MESSAGES", "LANG"}, japanese, " (スラックサイズによる下限 = 86.0000 %)"},
        {{"LANG=en_US.UTF-8"}, english, " (lower bound from the slack size = 86.0000 %)"},
        {{"LANG=ja_JP.UTF-8", "LC_MESSAGES=en_GB.UTF-8"},
         english,
         " (lower bound from the slack size = 86.0000 %)"},
        {{"LANG=en_US.UTF-8", "LC_ALL=C"}, japanese, " (スラックサイズによる下限 = 86.0000 %)"},
    };
    for (const auto& c : cases) {
        for (bool slack : {false, true}) {
            auto args = Args({"scan", t.Root()}, kExampleProfile);
            if (slack)
                args.push_back("--use-slack");
            CliResult r = RunCli(args, "", c.environment);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            std::string expected = c.expected;
            expected.replace(expected.find("{slack}"), 7, slack ? c.slackLine : "");
            EXPECT_EQ(r.out, expected) << (c.environment.empty() ? "" : c.environment.back());
        }
    }
}

TEST(ScanCli, PlainTextShowsTheRemainderWhenOneSideIsEmpty) {
    const struct {
        std::vector<int> sectors;
        const char* ending;
    } cases[] = {
        {{50, 40}, "\n残り: 0 ファイル, 0 Byte\n"},                            // nothing left over
        {{30}, "\n残り: 1 ファイル, 60.0000 KiB\n  s30.bin (60.0000 KiB)\n"},  // no disc
    };
    for (const auto& c : cases) {
        TempTree t;
        for (int s : c.sectors) {
            t.File("s" + std::to_string(s) + ".bin", s * 2048ull);
        }
        CliResult r = RunCli(Args({"scan", t.Root()}, kExampleProfile));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(r.out.ends_with(c.ending)) << r.out;
    }
}

#ifndef _WIN32
TEST(ScanCli, JsonDocument) {
    TempTree t;
    WriteExampleFiles(t);
    t.File("sub/日本語.bin", 1);
    t.Link("sub/link", t.Path("sub"));
    CliResult r = RunCli(Args({"scan", t.Root(), "--json", "--min-size", "1"}, kExampleProfile));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["stamp"].get<std::string>().size(), 15u);
    EXPECT_EQ(doc["log"][0], Utf8("対象ファイル数 = 8 （サイズ = 600.0000 KiB）"));
    ASSERT_EQ(doc["media"].size(), 2u);
    EXPECT_EQ(doc["media"][1]["number"], 2);
    EXPECT_EQ(doc["media"][1]["files"], 3);
    EXPECT_EQ(doc["media"][1]["used"], 97);
    EXPECT_NEAR(doc["media"][1]["fill"].get<double>(), 0.97, 1e-6);
    EXPECT_EQ(doc["media"][1]["paths"], nlohmann::json({"s45.bin", "s30.bin", "s12.bin"}));
    EXPECT_EQ(doc["remainder"]["files"], 3);
    EXPECT_EQ(doc["remainder"]["sectors"], 123);
    EXPECT_EQ(doc["skippedLinks"], 1);
    EXPECT_EQ(doc["fileSystem"], "none");
    EXPECT_GT(doc["media"][1]["image"]["udf"], doc["media"][1]["image"]["iso9660"]);
    EXPECT_EQ(doc["media"][1]["partial"], false);

    // The rest onto a last disc of its own: 20 and 8 (the 95 fits no disc).
    r = RunCli(Args({"scan", t.Root(), "--json", "--min-size", "1", "--last-disc"}, kExampleProfile));
    doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc["media"].size(), 3u);
    EXPECT_EQ(doc["media"][2]["paths"], nlohmann::json({"s20.bin", "s8.bin"}));
    EXPECT_EQ(doc["media"][2]["partial"], true);

    // Packed for a file system, a toy disc of 100 sectors holds nothing: its structures alone
    // are larger.
    r = RunCli(Args({"scan", t.Root(), "--json", "--file-system", "udf"}, kExampleProfile));
    doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["fileSystem"], "udf");
    EXPECT_TRUE(doc["media"].empty());
    EXPECT_EQ(RunCli(Args({"scan", t.Root(), "--file-system", "fat"}, kExampleProfile)).exitCode, 105);
}
#endif

TEST(ScanCli, JsonWithGroupsAndOddNames) {
    TempTree t;
    t.File("a/x y.bin", 10 * 2048);
    t.File("a/b/\xff.bin", 20 * 2048);
    CliResult r = RunCli(Args({"scan", t.Root(), "--json", "--group", "subfolder"}, kExampleProfile));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto doc = nlohmann::json::parse(r.out);
    // One group of 30 sectors: smaller than a medium's room, so it stays behind, as two files.
    EXPECT_EQ(doc["remainder"]["files"], 2);
    EXPECT_EQ(Generic(doc["remainder"]["paths"][0].get<std::string>()), "a/b/\xEF\xBF\xBD.bin");
    EXPECT_EQ(Generic(doc["remainder"]["paths"][1].get<std::string>()), "a/x y.bin");
    // The raw bytes of a name that is not text, in base64, by the path's index.
    EXPECT_EQ(doc["remainder"]["pathBytes"],
              nlohmann::json({{"0", cli::JsonWriter::Base64(Native("a/b/\xff.bin"))}}));
    EXPECT_FALSE(doc["media"].is_null());
}

#ifndef _WIN32
// Ctrl-C stops the walk: nothing is packed, the log says so, and the exit code is that of a
// cancelled command.
TEST(ScanCli, InterruptStopsTheScan) {
    TempTree t;
    WriteExampleFiles(t);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        cli::ScanOptions o;
        o.source = t.Root();
        o.threads = 1;
        CatchInterrupts();
        ::raise(SIGINT);
        int code = cli::RunScanCommand(o);
        std::fflush(stdout);
        ::_exit(code);
    }
    ::close(pipeFds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == cli::kExitCancelled) << status;
    EXPECT_EQ(out, "ファイル情報の収集を中止しました\n");
}
#endif

struct RefusalCase {
    const char* name;
    std::vector<std::string> args;
    const char* message;
};

TEST(ScanCli, RefusalsGoToStandardErrorWithAFailingExitCode) {
    TempTree t;
    t.File("a", 10);
    const RefusalCase cases[] = {
        {"missing source", {"scan", t.Path("missing")}, "入力フォルダが見つかりません"},
        {"zero cluster", {"scan", t.Root(), "--cluster", "0"}, "セクタサイズが0"},
        {"system not below total",
         {"scan", t.Root(), "--total", "10", "--system", "10"},
         "システムサイズが総サイズ以上"},
        {"image size of a missing folder", {"image-size", t.Path("missing")}, "フォルダが見つかりません"},
        {"image size of a file", {"image-size", t.Path("a")}, "フォルダではありません"},
        {"a folder as the settings file", {"profiles", "--settings", t.Root()}, "通常のファイル"},
        // What the media dialog refuses.
        {"negative total",
         {"scan", t.Root(), "--total", "-5"},
         "--total には 0 以上の数を指定してください: -5"},
        {"negative slack", {"scan", t.Root(), "--slack", "-1"}, "--slack には 0 以上"},
        {"zero total",
         {"scan", t.Root(), "--total", "0", "--system", "0"},
         "--total: 総サイズを入れてください"},
        {"slack not below total",
         {"scan", t.Root(), "--total", "100", "--system", "10", "--slack", "100"},
         "--slack: スラックサイズは総サイズより小さくなければいけません"},
        {"a missing settings file for --profile",
         {"scan", t.Root(), "--settings", t.Path("none.ini"), "--profile", "CD-R 700MiB"},
         "設定ファイルが見つかりません"},
        {"saving into a missing folder",
         {"profiles", "--settings", t.Path("no/such/s.ini"), "--save"},
         "書き込めません"},
#ifndef _WIN32
        // A pipe would keep the reader waiting for a writer that never comes.
        {"a pipe as the settings file",
         {"scan", t.Root(), "--settings", t.Path("fifo"), "--profile", "CD-R 700MiB"},
         "通常のファイル"},
#endif
    };
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(t.Path("fifo").c_str(), 0600), 0);
#endif
    for (const auto& c : cases) {
        CliResult r = RunCli(c.args);
        EXPECT_NE(r.exitCode, 0) << c.name;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.name;
    }
    EXPECT_FALSE(t.Exists("no")) << "a typed settings path gets no folders made for it";
    EXPECT_EQ(RunCli({"scan", t.Root(), "--total", "-5"}).exitCode, 2);
    EXPECT_NE(RunCli({"scan", t.Root(), "--group", "sideways"}).exitCode, 0);
    EXPECT_NE(RunCli({"image-size", t.Root(), "--file-system", "none"}).exitCode, 0);
    EXPECT_NE(RunCli({"scan"}).exitCode, 0);
}

#ifndef _WIN32
TEST(ScanCli, NamesReachATerminalWithTheirControlCharactersEscaped) {
    TempTree t;
    // Clear the screen, set the window title, write the clipboard, go back over the line.
    const std::string name = "a\033[2J\033]0;title\007\033]52;c;ZXZpbA==\007\r\b\302\233x.bin";
    t.File(name, 30000);
    t.File("b.bin", 20000);
    int master = -1;
    pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("LANG", "C", 1);
        ::execl(STOWRA_CLI, STOWRA_CLI, "scan", t.Root().c_str(), "--cluster", "2048", "--total", "10",
                "--system", "0", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string shown;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) {
        shown.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    EXPECT_NE(shown.find("a\\033[2J\\033]0;title\\007\\033]52;c;ZXZpbA==\\007\\015\\010\\302\\233x.bin"),
              std::string::npos)
        << shown;
    for (char c : {'\033', '\007', '\b'}) {
        EXPECT_EQ(shown.find(c), std::string::npos) << static_cast<int>(c);
    }
    // Into a pipe the name goes as it is.
    EXPECT_NE(
        RunCli({"scan", t.Root(), "--cluster", "2048", "--total", "10", "--system", "0"}).out.find(name),
        std::string::npos);
}
#endif

}  // namespace
}  // namespace stowra::test
