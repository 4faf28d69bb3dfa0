#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/CliRunner.h"
#include "support/TempTree.h"

namespace stowra {
namespace {

using test::CliResult;
using test::RunCli;
using test::TempTree;

// The exit code and what each command says, in English, for the cases a script tells apart.
TEST(BurnCli, ImageBurnAndVerifyExitCodes) {
    TempTree t;
    t.Write("20261209-120000/1/a.txt", "ab\n");
    t.Write("20261209-120000/1/big.bin", std::string(200000, 'b'));
    const std::string disc = t.Path("20261209-120000/1");
    const std::string iso = t.Path("disc.iso");
    const std::string flipped = t.Path("flipped.iso");
    const std::vector<std::string> english = {"LANG=en_US.UTF-8", "LC_ALL"};

    CliResult r = RunCli({"image", disc, "-o", iso, "--json"}, "", english);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["volumeId"], "20261209_120000_1");
    std::string bytes = t.Read("disc.iso");
    bytes[bytes.find(std::string(2048, 'b')) + 7] = 'X';
    t.Write("flipped.iso", bytes);

    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* says;  // in standard output, or in standard error when the code is not 0
    } rows[] = {
        {{"image", disc, "-o", t.Path("small.iso"), "--total", "100"}, 2, "does not fit"},
        {{"verify", "--image", iso, disc}, 0, "2 files checked: 0 problems"},
        {{"verify", "--image", flipped}, 1, "Damaged (MD5 mismatch): big.bin"},
        {{"verify"}, 2, "Name a folder"},
        {{"burn", "--yes", "--simulate", "--device", "stdio:" + t.Path("sim.iso"), disc}, 0, "simulated"},
        {{"burn", "--yes", "--device", "stdio:" + t.Path("burnt.iso"), disc}, 0, "written and verified"},
        {{"burn", "--yes", "--device", "stdio:" + iso, disc}, 1, "not blank"},
        {{"verify", "--device", "stdio:" + t.Path("burnt.iso"), disc}, 0, "0 problems"},
    };
    for (const auto& row : rows) {
        r = RunCli(row.args, "", english);
        EXPECT_EQ(r.exitCode, row.exitCode) << row.says << "\n" << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(row.says), std::string::npos) << r.out << r.err;
    }
    EXPECT_FALSE(t.Exists("small.iso"));
    EXPECT_FALSE(t.Exists("small.iso.part"));
}

}  // namespace
}  // namespace stowra
