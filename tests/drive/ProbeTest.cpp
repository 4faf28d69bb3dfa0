#include <gtest/gtest.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cerrno>
#include <random>

#include "drive/ASPI.h"
#include "drive/BlankMediaProbe.h"
#include "drive/FakeAspiLayer.h"
#include "drive/SPTI.h"
#include "support/EmulatedDrive.h"
#include "support/TempTree.h"
#ifndef _WIN32
#include "support/Unprivileged.h"
#endif

namespace stowra {
namespace {

using test::EmulatedDrive;
using Disc = EmulatedDrive::Disc;

// The media dialog's three fields and its messages, as the probe leaves them.
struct RecordingDialog : ProbeDialog {
    std::string cluster = "2048", name = "old", total = "0";
    std::vector<std::string> errors;
    int choose = 0;  // the line the user confirms, or -1 to close the drive dialog
    int busy = 0;
    void SetBusy(bool b) override { busy += b ? 1 : -1; }
    void ShowError(const std::string& m) override { errors.push_back(m); }
    bool ChooseDrive(SCSI& t) override {
        if (choose < 0)
            return false;
        t.selectDevice(choose);
        return true;
    }
    void SetClusterText(const std::string& t) override { cluster = t; }
    void SetNameText(const std::string& t) override { name = t; }
    void SetTotalText(const std::string& t) override { total = t; }
};

// Runs the road from the button against one emulated drive, through one transport.
struct Probe {
    std::shared_ptr<test::EmulatedDriveAccess> access = std::make_shared<test::EmulatedDriveAccess>();
    std::shared_ptr<EmulatedDrive> drive;
    RecordingDialog dialog;
    explicit Probe(Disc disc) : drive(std::make_shared<EmulatedDrive>(disc)) {
        access->drives.push_back(drive);
    }

    void Run(bool atip = false, bool throughAspi = false) {
        if (throughAspi) {
            test::FakeAspiLayer layer;
            layer.Adapter(8);
            layer.Device(0, 3, drive.get());
            ProbeBlankMedia(
                dialog, [] { return std::make_unique<ASPI>(FAKE_ASPI); }, atip);
        } else {
            ProbeBlankMedia(
                dialog, [this] { return std::make_unique<SPTI>(access); }, atip);
        }
        EXPECT_EQ(dialog.busy, 0);
    }
};

// Runs a test body in a fresh current folder (the ATIP table is looked up there).
class InFolder {
public:
    InFolder() : old_(::getcwd(nullptr, 0)) { EXPECT_EQ(::chdir(tree.Root().c_str()), 0); }
    ~InFolder() {
        EXPECT_EQ(::chdir(old_), 0);
        std::free(old_);
    }
    test::TempTree tree;

private:
    char* old_;
};

struct DiscCase {
    Disc disc;
    bool atip;
    const char* name;
    const char* total;
};

TEST(Probe, EveryEmulatedDiscThroughBothTransports) {
    InFolder folder;
    const DiscCase cases[] = {
        {Disc::BlankCdR, false, "CD-R / (Media ID = ?\?\?)", "359849"},
        {Disc::BlankCdR, true, "CD-R / (ATIP=97m27s15f)", "359849"},
        {Disc::BlankCdRw, true, "CD-RW / (ATIP=97m15s0f)", "359849"},
        {Disc::DvdRSequential, true, "DVD-R / CMC MAG. AM3", "2298496"},
        {Disc::DvdRIncremental, false, "DVD-R / CMC MAG. AM3", "2298496"},
        {Disc::DvdRw, false, "DVD-RW / TDK502sakuM3", "2298496"},
        {Disc::DvdPlusR, false, "DVD+R / RITEK/R04", "2295104"},
        {Disc::DvdPlusRDl, false, "DVD+R DL / MKM/001", "4173824"},
    };
    for (bool aspi : {false, true}) {
        for (const auto& c : cases) {
            Probe p(c.disc);
            p.Run(c.atip, aspi);
            EXPECT_TRUE(p.dialog.errors.empty())
                << c.name << ": " << (p.dialog.errors.empty() ? "" : p.dialog.errors[0]);
            EXPECT_EQ(p.dialog.cluster, "2048") << c.name;
            EXPECT_EQ(p.dialog.name, c.name);
            EXPECT_EQ(p.dialog.total, c.total) << c.name;
        }
    }
}

TEST(Probe, KnownAtipTimeNamesTheMaker) {
    InFolder folder;
    folder.tree.Write("cdrid.ini", "; comment\r\n972715=Maker A  \r\n972715 Maker B\r\n");
    Probe p(Disc::BlankCdR);
    p.Run(true);
    EXPECT_EQ(p.dialog.name, "CD-R / Maker A   (972715)");
}

TEST(Probe, AtipTableThatCannotBeReadStopsWithItsMessage) {
#ifdef _WIN32
    GTEST_SKIP() << "permission bits: a file nobody may read is made with chmod and another user";
#else
    InFolder folder;
    ::chmod(folder.tree.Root().c_str(), 0755);
    folder.tree.Write("cdrid.ini", "972715=Maker A\n");
    ::chmod(folder.tree.Path("cdrid.ini").c_str(), 0);
    EXPECT_EQ(test::RunAsNobody([] {
                  Probe p(Disc::BlankCdR);
                  p.Run(true);
                  bool ok = p.dialog.errors == std::vector<std::string>{"cdrid.ini open failed"} &&
                            p.dialog.name == "CD-R / (Media ID = ?\?\?)" && p.dialog.total == "0" &&
                            p.dialog.cluster == "2048";
                  return ok ? 0 : 1;
              }),
              0);
#endif
}

TEST(Probe, AtipCommandFailureOrAPlainTocKeepsThePreliminaryName) {
    InFolder folder;
    Probe failing(Disc::BlankCdR);
    failing.drive->atipReadable = false;
    failing.Run(true);
    EXPECT_EQ(failing.dialog.name, "CD-R / (Media ID = ?\?\?)");
    EXPECT_TRUE(failing.dialog.errors.empty());
    Probe toc(Disc::BlankCdR);
    toc.drive->atipAsToc = true;
    toc.Run(true);
    EXPECT_EQ(toc.dialog.name, "CD-R / (Media ID = ?\?\?)");
}

struct RefusalCase {
    const char* what;
    std::function<void(EmulatedDrive&)> setup;
    const char* message;
    const char* cluster;
    const char* name;
};

TEST(Probe, RefusalsAndFailuresLeaveWhatWasWrittenBefore) {
    const RefusalCase cases[] = {
        {"recorded disc", [](EmulatedDrive& d) { d = EmulatedDrive(Disc::Recorded); },
         "空メディアではありません", "2048", "old"},
        {"DVD-RAM",
         [](EmulatedDrive& d) {
             d = EmulatedDrive(Disc::DvdRam);
             d.blockLength = 4096;
         },
         "メディア情報の取得に失敗しました", "4096", "old"},
        {"DVD-R dual layer",
         [](EmulatedDrive& d) {
             d.profile = 0x15;
             d.blockLength = 2352;
         },
         "メディア情報の取得に失敗しました", "2352", "old"},
        {"failing drive", [](EmulatedDrive& d) { d = EmulatedDrive(Disc::Failing); },
         "メディア情報の取得に失敗しました", "2048", "old"},
        {"no profile", [](EmulatedDrive& d) { d.profile = 0; }, "メディア情報の取得に失敗しました", "2048",
         "old"},
        {"disc information fails", [](EmulatedDrive& d) { d.failingOpcodes = {0x51}; },
         "メディア情報の取得に失敗しました", "2048", "old"},
        {"track information fails", [](EmulatedDrive& d) { d.failingOpcodes = {0x52}; },
         "メディア情報の取得に失敗しました", "2048", "CD-R / (Media ID = ?\?\?)"},
        {"track of another data mode: its write parameters are left alone",
         [](EmulatedDrive& d) {
             d = EmulatedDrive(Disc::DvdRIncremental);
             d.dataMode = 2;
         },
         "メディア情報の取得に失敗しました", "2048", "DVD-R / CMC MAG. AM3"},
        {"drive never leaves incremental mode",
         [](EmulatedDrive& d) {
             d = EmulatedDrive(Disc::DvdRIncremental);
             d.modeSelectSwitches = false;
         },
         "メディア情報の取得に失敗しました", "2048", "DVD-R / CMC MAG. AM3"},
    };
    for (const auto& c : cases) {
        Probe p(Disc::BlankCdR);
        c.setup(*p.drive);
        p.Run();
        ASSERT_EQ(p.dialog.errors.size(), 1u) << c.what;
        EXPECT_EQ(p.dialog.errors[0], c.message) << c.what;
        EXPECT_EQ(p.dialog.cluster, c.cluster) << c.what;
        EXPECT_EQ(p.dialog.name, c.name) << c.what;
        EXPECT_EQ(p.dialog.total, "0") << c.what;
    }
}

TEST(Probe, StubbornDriveGetsABoundedNumberOfSwitches) {
    Probe p(Disc::DvdRIncremental);
    p.drive->modeSelectSwitches = false;
    p.Run();
    EXPECT_EQ(p.drive->modeSelects, kMaxWriteModeSwitches);
}

TEST(Probe, IncrementalDvdRGetsExactlyOneSwitch) {
    Probe p(Disc::DvdRIncremental);
    p.Run();
    EXPECT_EQ(p.drive->modeSelects, 1);
    EXPECT_EQ(p.drive->writeType, 2);
    int trackReads = 0;
    for (const auto& cdb : p.drive->commands) trackReads += cdb[0] == 0x52 && cdb[8] == 0x00 ? 1 : 0;
    EXPECT_EQ(trackReads, 2);
    // MODE SELECT comes between the two track reads.
    std::vector<std::uint8_t> opcodes;
    for (const auto& cdb : p.drive->commands) opcodes.push_back(cdb[0]);
    auto select = std::find(opcodes.begin(), opcodes.end(), 0x55);
    ASSERT_NE(select, opcodes.end());
    EXPECT_EQ(opcodes.back(), 0x52);
    EXPECT_EQ(std::count(select, opcodes.end(), 0x52), 1);
}

TEST(Probe, NextWritableAddressCountsOnlyWhenValid) {
    for (bool valid : {true, false}) {
        Probe p(Disc::DvdPlusR);
        p.drive->nwaValid = valid;
        p.drive->nextWritable = 16;
        p.drive->freeBlocks = 100;
        p.Run();
        EXPECT_EQ(p.dialog.total, valid ? "116" : "100");
    }
}

TEST(Probe, IdentificationFieldsAndFormats) {
    struct IdCase {
        Disc disc;
        std::function<void(EmulatedDrive&)> setup;
        const char* name;
    } cases[] = {
        {Disc::DvdRSequential, [](EmulatedDrive& d) { d.preRecordedFieldIds = false; },
         "DVD-R / (Media ID = ?\?\?)"},
        {Disc::DvdRSequential,
         [](EmulatedDrive& d) {
             d.structures = {{0x00, 0x0802}};
         },
         "DVD-R / (Media ID = ?\?\?)"},
        {Disc::DvdRSequential,
         [](EmulatedDrive& d) {
             d.preRecordedId1 = "ABC";
             d.preRecordedId2 = "XY";
         },
         "DVD-R /    ABCXY    "},
        {Disc::DvdPlusR,
         [](EmulatedDrive& d) {
             d.structures = {{0x00, 0x0802}};
         },
         "DVD+R / (Media ID = ?\?\?)"},
        {Disc::DvdPlusR,
         [](EmulatedDrive& d) {
             d.adipMaker = "LONGMAKERNAME";
             d.adipType = "ABCD";
         },
         "DVD+R / LONGMAKE/ABC"},
        {Disc::DvdPlusR,
         [](EmulatedDrive& d) {
             d.structures.push_back({0x11, 0});
         },
         "DVD+R / (Media ID = ?\?\?)"},
    };
    for (const auto& c : cases) {
        Probe p(c.disc);
        c.setup(*p.drive);
        p.Run();
        EXPECT_EQ(p.dialog.name, c.name);
        EXPECT_TRUE(p.dialog.errors.empty());
    }
}

TEST(Probe, RoadMessages) {
    RecordingDialog none;
    auto empty = std::make_shared<test::EmulatedDriveAccess>();
    ProbeBlankMedia(
        none, [&] { return std::make_unique<SPTI>(empty); }, false);
    EXPECT_EQ(none.errors, (std::vector<std::string>{"ドライブがみつかりませんでした"}));

    RecordingDialog noLibrary;
    ProbeBlankMedia(
        noLibrary, [] { return std::make_unique<ASPI>("/nonexistent/wnaspi32.so"); }, false);
    EXPECT_EQ(noLibrary.errors, (std::vector<std::string>{"wnaspi32.dllのロードに失敗しました"}));

    // A drive that cannot be opened says why, not that the disc could not be read.
    for (int error : {EACCES, EBUSY}) {
        Probe locked(Disc::BlankCdR);
        locked.access->unopenable = {0};
        locked.access->openError = error;
        locked.Run();
        ASSERT_EQ(locked.dialog.errors.size(), 1u);
        EXPECT_EQ(locked.dialog.errors[0], DriveOpenProblem("/dev/sr0", error));
        EXPECT_TRUE(locked.drive->commands.empty());
    }
#ifdef _WIN32
    EXPECT_NE(DriveOpenProblem("/dev/sr0", EACCES).find("管理者"), std::string::npos);
#else
    EXPECT_NE(DriveOpenProblem("/dev/sr0", EACCES).find("cdrom"), std::string::npos);
#endif

    Probe closed(Disc::BlankCdR);
    closed.dialog.choose = -1;
    closed.Run();
    EXPECT_TRUE(closed.dialog.errors.empty());
    EXPECT_EQ(closed.dialog.name, "old");
    EXPECT_EQ(closed.drive->commands.size(), 0u);  // INQUIRY only comes from the dialog's listing
}

// Replies that claim more than they hold, or point outside what was read.
TEST(Probe, UntrustedRepliesNeverReadOutsideTheirBuffers) {
    struct Lie {
        const char* what;
        Disc disc;
        std::function<void(const std::uint8_t*, std::vector<std::uint8_t>&)> mutate;
    } lies[] = {
        {"huge configuration length", Disc::DvdPlusR,
         [](const std::uint8_t* cdb, auto& r) {
             if (cdb[0] == 0x46)
                 r[0] = r[1] = r[2] = r[3] = 0xFF;
         }},
        {"structure list past the end", Disc::DvdPlusR,
         [](const std::uint8_t* cdb, auto& r) {
             if (cdb[0] == 0xAD && cdb[7] == 0xFF)
                 r[0] = r[1] = 0xFF;
         }},
        {"short track information", Disc::DvdRSequential,
         [](const std::uint8_t* cdb, auto& r) {
             if (cdb[0] == 0x52)
                 r.resize(8), r[0] = 0, r[1] = 6;
         }},
        {"short pre-recorded information", Disc::DvdRSequential,
         [](const std::uint8_t* cdb, auto& r) {
             if (cdb[0] == 0xAD && cdb[7] == 0x0E)
                 r.resize(4), r[1] = 2;
         }},
        {"mode page shorter than claimed", Disc::DvdRIncremental,
         [](const std::uint8_t* cdb, auto& r) {
             if (cdb[0] == 0x5A)
                 r.resize(12), r[0] = 0x0F, r[1] = 0xFF, r[9] = 0xFF;
         }},
        {"block descriptor length outside the data", Disc::DvdRIncremental,
         [](const std::uint8_t* cdb, auto& r) {
             if (cdb[0] == 0x5A)
                 r[6] = 0xFF, r[7] = 0xF0;
         }},
        {"second mode sense with another descriptor length", Disc::DvdRIncremental,
         [](const std::uint8_t* cdb, auto& r) {
             if (cdb[0] == 0x5A && cdb[8] != 0x0C)
                 r[6] = 0, r[7] = 0x40;
         }},
    };
    for (const auto& lie : lies) {
        Probe p(lie.disc);
        p.drive->mutate = lie.mutate;
        p.Run();
        EXPECT_LE(p.dialog.errors.size(), 1u) << lie.what;
        if (!p.dialog.errors.empty()) {
            EXPECT_EQ(p.dialog.errors[0], "メディア情報の取得に失敗しました") << lie.what;
        }
    }
}

TEST(Probe, RandomRepliesNeverCrashTheProbe) {
    std::mt19937 rng(2026);
    const Disc discs[] = {Disc::BlankCdR, Disc::DvdRSequential, Disc::DvdRIncremental, Disc::DvdPlusR};
    for (int round = 0; round < 600; ++round) {
        Probe p(discs[round % 4]);
        p.drive->mutate = [&rng](const std::uint8_t*, std::vector<std::uint8_t>& r) {
            switch (rng() % 4) {
                case 0:
                    for (auto& b : r) b = static_cast<std::uint8_t>(rng());
                    break;
                case 1:
                    r.resize(rng() % 40);
                    break;
                case 2:
                    if (r.size() > 8)
                        r[rng() % r.size()] = static_cast<std::uint8_t>(rng());
                    break;
                default:
                    break;
            }
        };
        p.Run(true);
        ASSERT_LE(p.dialog.errors.size(), 1u);
    }
}

}  // namespace
}  // namespace stowra
