#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/CliRunner.h"
#include "support/TempTree.h"
#include "support/WorkedExample.h"

namespace stowra::test {
namespace {

using nlohmann::json;

json Profile(const char* name, int cluster, int total, int system, int slack) {
    return {{"name", name}, {"cluster", cluster}, {"total", total}, {"system", system}, {"slack", slack}};
}

json Settings(int option, int minSize, int system, int slack, int selected, const std::string& src,
              const char* dst, json profiles) {
    return {{"option", option},        {"minSize", minSize},
            {"defaultSystem", system}, {"defaultSlack", slack},
            {"selected", selected},    {"srcFolder", src},
            {"dstFolder", dst},        {"profiles", std::move(profiles)}};
}

struct SampleCase {
    const char* title;
    const char* file;  // nullptr: no settings file
    json expected;
};

TEST(ProfilesCli, ShowsTheFileAsTheWindowLoadsIt) {
    const SampleCase cases[] = {
        {"no settings file", nullptr,
         Settings(1, 0, 256, 3840, 0, "", "",
                  {Profile("CD-R 700MiB", 2048, 359850, 256, 3840),
                   Profile("DVD-R 4.7GB(4.38GiB)", 2048, 2298496, 256, 3840)})},
        {"defaults when each section is read, Media beyond the end",
         "[Before]\r\nTotal=1000\r\n[Stowra]\r\nOption=65\r\nMinSize=100\r\nDefaultSystem=300\r\n"
         "DefaultSlack=4000\r\nMedia=9\r\nSrcFolder=/データ/入力\r\nDstFolder=/"
         "out\r\n[After]\r\nTotal=2000\r\n",
         Settings(65, 100, 300, 4000, 3, Utf8("/データ/入力"), "/out",
                  {Profile("Before", 2048, 1000, 256, 3840), Profile("After", 2048, 2000, 300, 4000),
                   Profile("CD-R 700MiB", 2048, 359850, 300, 4000),
                   Profile("DVD-R 4.7GB(4.38GiB)", 2048, 2298496, 300, 4000)})},
        {"no Option key, built-in in other letter case, hexadecimal, empty section",
         "[Stowra]\nMedia=-1\n[cd-r 700MIB]\nTotal=0x57DAA\n[Empty]\n",
         Settings(0, 0, 256, 3840, 0, "", "",
                  {Profile("cd-r 700MIB", 2048, 359850, 256, 3840), Profile("Empty", 2048, 359850, 256, 3840),
                   Profile("DVD-R 4.7GB(4.38GiB)", 2048, 2298496, 256, 3840)})},
    };
    for (const SampleCase& c : cases) {
        TempTree t;
        if (c.file != nullptr) {
            t.Write("s.ini", c.file);
        }
        CliResult r = RunCli({"profiles", "--settings", t.Path("s.ini"), "--json"});
        ASSERT_EQ(r.exitCode, 0) << c.title << r.err;
        EXPECT_EQ(json::parse(r.out), c.expected) << c.title;
        EXPECT_EQ(t.Exists("s.ini"), c.file != nullptr) << "nothing is written without --save";
    }
}

TEST(ProfilesCli, SaveWritesTheWholeFileAndIsStable) {
    TempTree t;
    t.Write("s.ini", "; hand-written\n[Mine]\nTotal=1000\nColor=blue\n[Stowra]\nMedia=1\nSrcFolder= /in \n");
    CliResult first = RunCli({"profiles", "--settings", t.Path("s.ini"), "--save"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const std::string saved = t.Read("s.ini");
    EXPECT_EQ(
        saved,
        "[Stowra]\r\nOption=0\r\nMinSize=0\r\nDefaultSystem=256\r\nDefaultSlack=3840\r\nMedia=1\r\n"
        "SrcFolder=/in\r\nDstFolder=\r\n"
        "[Mine]\r\nCluster=2048\r\nTotal=1000\r\nSystem=256\r\nSlack=3840\r\n"
        "[CD-R 700MiB]\r\nCluster=2048\r\nTotal=359850\r\nSystem=256\r\nSlack=3840\r\nFileSystem=1\r\n"
        "[DVD-R "
        "4.7GB(4.38GiB)]\r\nCluster=2048\r\nTotal=2298496\r\nSystem=256\r\nSlack=3840\r\nFileSystem=1\r\n");
    EXPECT_NE(first.out.find("* CD-R 700MiB: Cluster=2048 Total=359850 System=256 Slack=3840"),
              std::string::npos)
        << first.out;

    CliResult second = RunCli({"profiles", "--settings", t.Path("s.ini"), "--save"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(t.Read("s.ini"), saved);
    EXPECT_EQ(second.out, first.out);

    t.Write("plain", "");
    CliResult refused = RunCli({"profiles", "--settings", t.Path("plain/s.ini"), "--save"});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_EQ(refused.err, t.Path("plain/s.ini") + " に書き込めません\n");
}

TEST(ProfilesCli, ScanTakesTheProfileOptionsAndMinimumSizeFromTheSettings) {
    TempTree t;
    WriteExampleFiles(t, "files");
    t.Write("s.ini",
            "[Stowra]\nOption=0x49\nMinSize=16384\n[Example]\nCluster=2048\nTotal=100\nSystem=10\nSlack=4\n");
    const std::vector<std::string> base = {"scan", t.Path("files"), "--settings", t.Path("s.ini"), "--json"};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = base;
        args.insert(args.end(), extra.begin(), extra.end());
        CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.exitCode == 0 ? json::parse(r.out)["log"] : json();
    };

    // The settings group the files of a leaf folder; --group none undoes that.
    json log = with({"--profile", "example", "--group", "none"});
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0], Utf8("対象ファイル数 = 7 （サイズ = 584.0000 KiB）"));  // s8.bin is not above MinSize
    EXPECT_EQ(log[3], Utf8("平均詰め込み率 = 98.5000 % (スラックサイズによる下限 = 86.0000 %)")) << log;

    log = with({"--profile", "Example", "--min-size", "0"});
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], Utf8("対象ファイル数 = 8 （サイズ = 600.0000 KiB）"));
    EXPECT_EQ(log[1],
              Utf8("うまく詰め込めなかった残りファイル数 = 8 （サイズ = 600.0000 KiB）"));  // one group

    CliResult unknown = RunCli({"scan", t.Path("files"), "--settings", t.Path("s.ini"), "--profile", "Nope"});
    EXPECT_NE(unknown.exitCode, 0);
    EXPECT_NE(unknown.err.find("\"Nope\" という名前のメディア設定は"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("CD-R 700MiB"), std::string::npos) << unknown.err;
    EXPECT_EQ(unknown.out, "");
}

}  // namespace
}  // namespace stowra::test
