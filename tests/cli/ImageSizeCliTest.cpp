#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <nlohmann/json.hpp>

#include "cli/CliRunner.h"
#include "packing/DiscFolder.h"
#include "support/TempTree.h"
#include "support/Unprivileged.h"

namespace stowra::test {
namespace {

#ifndef _WIN32
TEST(ImageSizeCli, OneLinePerFolderOrOneDocument) {
    TempTree t;
    t.Write("disc1/a.txt", "ab\n");
    // Stored as links by the builders: each one more entry (in UDF a file entry of its own).
    t.Link("disc1/link", t.Path("disc1/a.txt"));
    t.Link("disc1/folder link", t.Path("disc2"));
    t.Folder("disc2");
    CliResult r = RunCli({"image-size", t.Path("disc1"), t.Path("disc2")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "184\t" + t.Path("disc1") + "\n183\t" + t.Path("disc2") + "\n");

    r = RunCli({"image-size", "--file-system", "udf", "--json", t.Path("disc1")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out),
              nlohmann::json::parse(R"([{"folder": ")" + t.Path("disc1") +
                                    R"(", "fileSystem": "udf", "sectors": 427}])"));

    // A folder that cannot be measured is named with its reason, in the document too.
    r = RunCli({"image-size", "--json", t.Path("disc2"), t.Path("missing")}, "", {"LANG=C.UTF-8"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "フォルダが見つかりません: " + t.Path("missing") + "\n");
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc.size(), 2u);
    EXPECT_EQ(doc[0]["sectors"], 183);
    EXPECT_EQ(doc[1]["error"], "フォルダが見つかりません: " + t.Path("missing"));
}

// The walk keeps a bounded number of folders open, whatever the tree's width.
TEST(ImageSizeCli, AHundredThousandSubfoldersUnderALowDescriptorLimit) {
    TempTree t;
    t.Folder("disc");
    for (int i = 0; i < 100000; ++i) {
        ::mkdir(t.Path("disc/" + std::to_string(i % 100) + (i < 100 ? "" : "/" + std::to_string(i))).c_str(),
                0755);
    }
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = 64;  // the child inherits it
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    const CliResult r = RunCli({"image-size", t.Path("disc")});
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find('\t' + t.Path("disc")), std::string::npos);
}
#endif

#ifndef _WIN32
TEST(ImageSizeCli, AFolderBelowThatCannotBeReadFailsTheFolder) {
    TempTree t;
    ::chmod(t.Root().c_str(), 0755);
    t.File("disc/open/a", 5);
    t.File("disc/closed/b", 5);
    ::chmod(t.Path("disc").c_str(), 0755);
    ::chmod(t.Path("disc/open").c_str(), 0755);
    ::chmod(t.Path("disc/closed").c_str(), 0000);
    EXPECT_EQ(RunAsNobody([&] {
                  std::vector<std::string> paths;
                  std::vector<ImageEntry> entries;
                  std::string error;
                  const bool read = CollectDiscEntries(t.Path("disc"), paths, entries, error);
                  return !read && error.find("closed") != std::string::npos ? 0 : 1;
              }),
              0);
}
#endif

}  // namespace
}  // namespace stowra::test
