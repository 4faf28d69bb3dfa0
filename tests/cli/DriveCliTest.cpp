#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/CliRunner.h"
#include "cli/DriveCommands.h"
#include "drive/SPTI.h"
#include "support/EmulatedDrive.h"
#include "support/TempTree.h"

namespace stowra::test {
namespace {

using Disc = EmulatedDrive::Disc;
using nlohmann::json;

const char* const kNoDrive = "ドライブがみつかりませんでした\n";

// Emulated drives at /dev/sr0, /dev/sr1, ... behind the real pass-through transport, run from an
// empty current folder (the ATIP table is looked up there).
class DriveCli : public ::testing::Test {
protected:
    DriveCli() : old_(std::filesystem::current_path()) { std::filesystem::current_path(folder_.Root()); }
    ~DriveCli() override { std::filesystem::current_path(old_); }

    void Insert(const std::vector<Disc>& discs) {
        for (Disc d : discs) access->drives.push_back(std::make_shared<EmulatedDrive>(d));
    }
    TransportFactory Factory() {
        return [this] { return std::make_unique<SPTI>(access); };
    }
    CliResult Drives(bool asJson) {
        std::ostringstream out, err;
        int code = cli::RunDrivesCommand({asJson}, Factory(), out, err);
        return {code, out.str(), err.str()};
    }
    CliResult Probe(const cli::ProbeOptions& options) {
        std::ostringstream out, err;
        int code = cli::RunProbeCommand(options, Factory(), out, err);
        return {code, out.str(), err.str()};
    }

    std::shared_ptr<EmulatedDriveAccess> access = std::make_shared<EmulatedDriveAccess>();

private:
    TempTree folder_;
    std::filesystem::path old_;
};

TEST_F(DriveCli, DrivesListsEachDriveAsTheDialogDoes) {
    Insert({Disc::BlankCdR, Disc::DvdPlusR, Disc::BlankCdR});
    access->drives[1]->vendor = "        ";
    access->drives[1]->product = "DVD-RW          ";
    access->drives[2]->answersInquiry = false;
    access->drives.push_back(std::make_shared<EmulatedDrive>(Disc::BlankCdR));
    access->unopenable = {3};

    CliResult text = Drives(false);
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, "/dev/sr0 QEMU QEMU DVD-ROM 2.5+\n/dev/sr1  DVD-RW 2.5+\n/dev/sr2 - Unknown -\n" +
                            DriveOpenProblem("/dev/sr3", EACCES) + "\n");

    CliResult asJson = Drives(true);
    EXPECT_EQ(asJson.exitCode, 0);
    EXPECT_EQ(json::parse(asJson.out)[1],
              (json{{"address", "/dev/sr1"}, {"vendor", ""}, {"product", "DVD-RW"}, {"revision", "2.5+"}}));
    EXPECT_EQ(json::parse(asJson.out).size(), 4u);
    EXPECT_EQ(json::parse(asJson.out)[3]["problem"], Utf8(DriveOpenProblem("/dev/sr3", EACCES)));
}

TEST_F(DriveCli, DrivesWithoutDrives) {
    CliResult text = Drives(false);
    EXPECT_NE(text.exitCode, 0);
    EXPECT_EQ(text.err, kNoDrive);
    EXPECT_EQ(text.out, "");
    CliResult asJson = Drives(true);
    EXPECT_NE(asJson.exitCode, 0);
    EXPECT_EQ(json::parse(asJson.out), json::array());
}

struct ProbeCase {
    const char* what;
    std::vector<Disc> discs;
    cli::ProbeOptions options;
    int exitCode;
    const char* out;
    const char* err;
};

TEST_F(DriveCli, ProbePrintsTheThreeFieldsOrTheMessage) {
    const ProbeCase cases[] = {
        {"CD-R, ATIP on by default",
         {Disc::BlankCdR},
         {},
         0,
         "セクタサイズ = 2048 バイト\nメディア名 = CD-R / (ATIP=97m27s15f)\n総サイズ = 359849 セクタ\n",
         ""},
        {"CD-R without ATIP",
         {Disc::BlankCdR},
         {"", false},
         0,
         "セクタサイズ = 2048 バイト\nメディア名 = CD-R / (Media ID = ?\?\?)\n総サイズ = 359849 セクタ\n",
         ""},
        {"DVD-R in the second drive",
         {Disc::BlankCdR, Disc::DvdRIncremental},
         {"/dev/sr1"},
         0,
         "セクタサイズ = 2048 バイト\nメディア名 = DVD-R / CMC MAG. AM3\n総サイズ = 2298496 セクタ\n",
         ""},
        {"DVD+R",
         {Disc::DvdPlusR},
         {"/dev/sr0"},
         0,
         "セクタサイズ = 2048 バイト\nメディア名 = DVD+R / RITEK/R04\n総サイズ = 2295104 セクタ\n",
         ""},
        {"recorded disc", {Disc::Recorded}, {}, 1, "", "空メディアではありません\n"},
        {"DVD-RAM", {Disc::DvdRam}, {}, 1, "", "メディア情報の取得に失敗しました\n"},
        {"no drive", {}, {"/dev/sr0"}, 1, "", kNoDrive},
        {"unknown device",
         {Disc::BlankCdR},
         {"/dev/sr4"},
         1,
         "",
         "no such drive: /dev/sr4 (stowra-cli drives lists them)\n"},
    };
    for (const ProbeCase& c : cases) {
        access->drives.clear();
        Insert(c.discs);
        CliResult r = Probe(c.options);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.what;
        EXPECT_EQ(r.out, c.out) << c.what;
        EXPECT_EQ(r.err, c.err) << c.what;
    }
}

TEST_F(DriveCli, UnknownDeviceSendsNothingButTheListing) {
    Insert({Disc::BlankCdR, Disc::DvdPlusR});
    Probe({"/dev/sr9"});
    for (const auto& drive : access->drives) {
        ASSERT_EQ(drive->commands.size(), 1u);
        EXPECT_EQ(drive->commands[0][0], 0x12);  // INQUIRY
    }
}

TEST_F(DriveCli, ProbeAsJson) {
    Insert({Disc::DvdPlusR, Disc::Recorded});
    CliResult ok = Probe({"", true, true});
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(json::parse(ok.out),
              (json{{"cluster", 2048}, {"name", "DVD+R / RITEK/R04"}, {"total", 2295104}}));
    CliResult refused = Probe({"/dev/sr1", true, true});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(json::parse(refused.out), (json{{"error", Utf8("空メディアではありません")}}));
    EXPECT_EQ(refused.err, "空メディアではありません\n");
}

TEST(DriveCliOptions, AtipIsOnUnlessTurnedOff) {
    struct {
        std::vector<std::string> args;
        bool atip;
        const char* device;
    } cases[] = {
        {{}, true, ""}, {{"--no-atip", "/dev/sr1"}, false, "/dev/sr1"}, {{"--atip", "--json"}, true, ""}};
    for (const auto& c : cases) {
        CLI::App app;
        app.allow_windows_style_options(false);  // as the program's own
        cli::ProbeOptions o;
        cli::AddProbeOptions(app, o);
        std::vector<std::string> reversed(c.args.rbegin(), c.args.rend());  // CLI11 takes them last first
        app.parse(reversed);
        EXPECT_EQ(o.atip, c.atip);
        EXPECT_EQ(o.device, c.device);
    }
}

// This machine has no optical drive; the real program must say so for both commands.
TEST(DriveCliProgram, SaysThereIsNoDrive) {
    if (!NativeDriveAccess()->ListDrives().empty())
        GTEST_SKIP() << "this machine has a drive";
    for (const char* command : {"drives", "probe"}) {
        CliResult r = RunCli({command});
        EXPECT_NE(r.exitCode, 0) << command;
        EXPECT_EQ(r.err, kNoDrive) << command;
    }
}

}  // namespace
}  // namespace stowra::test
