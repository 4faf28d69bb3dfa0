#include <gtest/gtest.h>
#ifndef _WIN32
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
    t.Link("disc1/link", t.Path("disc1/a.txt"));  // left out, as the scan leaves links out
    t.Link("disc1/folder link", t.Path("disc2"));
    t.Folder("disc2");
    CliResult r = RunCli({"image-size", t.Path("disc1"), t.Path("disc2")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "184\t" + t.Path("disc1") + "\n183\t" + t.Path("disc2") + "\n");

    r = RunCli({"image-size", "--file-system", "udf", "--json", t.Path("disc1")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out),
              nlohmann::json::parse(R"([{"folder": ")" + t.Path("disc1") +
                                    R"(", "fileSystem": "udf", "sectors": 425}])"));
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
