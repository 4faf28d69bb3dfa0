#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstring>

#include "drive/ASPI.h"
#include "drive/FakeAspiLayer.h"
#include "drive/LPBuf.h"
#include "drive/SPTI.h"
#include "platform/ManualResetEvent.h"
#include "support/EmulatedDrive.h"
#include "support/TempTree.h"

namespace stowra {
namespace {

using test::EmulatedDrive;
using test::EmulatedDriveAccess;

std::shared_ptr<EmulatedDriveAccess> Drives(std::initializer_list<EmulatedDrive::Disc> discs) {
    auto access = std::make_shared<EmulatedDriveAccess>();
    for (auto d : discs) access->drives.push_back(std::make_shared<EmulatedDrive>(d));
    return access;
}

struct Info {
    std::string vendor, product, address, revision;
};
Info InfoOf(SCSI& s) {
    Info i;
    s.deviceInfo(i.vendor, i.product, i.address, i.revision);
    return i;
}

TEST(LPBuf, AlignsToSixteenBytes) {
    LPBuf b;
    for (int size : {1, 12, 100, 4096}) {
        std::uint8_t* p = b.alloc(size);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
        EXPECT_EQ(b.size(), size);
        std::memset(p, 0xAB, static_cast<std::size_t>(size));
    }
    b.release();
    EXPECT_EQ(b.data(), nullptr);
    EXPECT_EQ(b.size(), 0);
}

TEST(InquiryField, TrimsTrailingSpacesAndControlsAndStopsAtZero) {
    struct Case {
        std::string bytes;
        std::string text;
    } cases[] = {
        {std::string("DVD-RW") + std::string(10, ' '), "DVD-RW"},
        {std::string(8, ' '), ""},
        {std::string(" LEAD\t\r ", 8), " LEAD"},
        {std::string("AB\0CD   ", 8), "AB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InquiryField(reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size()),
                  c.text);
    }
}

TEST(SPTI, ListsAndDescribesDrives) {
    auto access =
        Drives({EmulatedDrive::Disc::BlankCdR, EmulatedDrive::Disc::DvdPlusR, EmulatedDrive::Disc::Failing});
    access->drives[1]->vendor = std::string(8, ' ');
    access->drives[1]->product = "DVD-RW" + std::string(10, ' ');
    access->unopenable = {2};
    SPTI spti(access);
    ASSERT_EQ(spti.deviceCount(), 3);
    EXPECT_EQ(spti.selectedDevice(), 0);
    EXPECT_TRUE(spti.available());
    EXPECT_EQ(spti.version(), 1u);
    std::vector<std::string> lines;
    for (int i = 0; i < spti.deviceCount(); ++i) {
        spti.selectDevice(i);
        Info info = InfoOf(spti);
        lines.push_back(info.address + " " + info.vendor + " " + info.product + " " + info.revision);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"/dev/sr0 QEMU QEMU DVD-ROM 2.5+", "/dev/sr1  DVD-RW 2.5+",
                                               "/dev/sr2 - Unknown -"}));
    EXPECT_NE(spti.problem().find("/dev/sr2 を開く権限がありません"), std::string::npos);
    spti.selectDevice(5);
    EXPECT_EQ(spti.selectedDevice(), 2);
    spti.selectDevice(0);
    EXPECT_EQ(spti.problem(), "");
}

// With every descriptor in use no event can be made: the transport says so and never waits.
TEST(SPTI, WithoutItsEventsItReportsAndNeverHangs) {
#ifdef _WIN32
    GTEST_SKIP() << "exhausts descriptors with setrlimit in a forked child";
#else
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' own checks need descriptors too; the normal build runs this";
#endif
    auto access = Drives({EmulatedDrive::Disc::BlankCdR});
    pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(10);  // a hang ends the child, and fails the test
        struct rlimit lim {};
        ::getrlimit(RLIMIT_NOFILE, &lim);
        lim.rlim_cur = 64;
        ::setrlimit(RLIMIT_NOFILE, &lim);
        while (::dup(0) >= 0) {
        }
        bool ok;
        {
            SPTI spti(access);
            ok = spti.problem() == kNoEventMessage && spti.deviceCount() == 0 && !spti.workerRunning();
            spti.asyncWait();
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

TEST(SPTI, NoDrivesNoSelection) {
    auto access = std::make_shared<EmulatedDriveAccess>();
    SPTI spti(access);
    EXPECT_EQ(spti.deviceCount(), 0);
    EXPECT_EQ(access->opens, 0);
}

TEST(SPTI, CdbLengthFollowsTheOpcodeGroup) {
    auto access = Drives({EmulatedDrive::Disc::DvdPlusR});
    SPTI spti(access);
    LPBuf buf(4096);
    const std::pair<std::uint8_t, std::uint8_t> commands[] = {{0x12, 6}, {0x25, 10}, {0x46, 10}, {0xAD, 12}};
    for (auto [opcode, length] : commands) {
        spti.setCdb(0, opcode);
        spti.setCdb(1, opcode == 0x46 ? 0x01 : 0x00);
        spti.setCdb(opcode == 0x12 ? 4 : 8, 0x40);
        EXPECT_EQ(spti.exec(SCSI::kDataIn, buf.data(), 64), 1) << int(opcode);
        EXPECT_EQ(access->lastCdbLengths.back(), length);
        EXPECT_EQ(spti.request().SRB_CDBLen, 10);  // the request block keeps its fixed length
    }
    // READ DVD STRUCTURE's allocation length sits in bytes 8-9: all of it reaches the drive.
    EXPECT_EQ(access->drives[0]->commands.back().size(), 12u);
}

TEST(SPTI, BounceBufferGrowsOnceForUnalignedBuffers) {
    auto access = Drives({EmulatedDrive::Disc::DvdRSequential});
    SPTI spti(access);
    alignas(16) std::uint8_t storage[64];
    std::uint8_t* unaligned = storage + 1;
    std::memset(storage, 0xEE, sizeof storage);
    spti.setCdb(0, 0x52);
    spti.setCdb(1, 0x01);
    spti.setCdb(5, 0x01);
    spti.setCdb(8, 32);
    ASSERT_EQ(spti.exec(SCSI::kDataIn, unaligned, 32), 1);
    EXPECT_EQ(unaligned[6], 0x41);   // blank, data mode 1
    EXPECT_EQ(unaligned[19], 0x80);  // free blocks 2298496 = 0x00231280
    EXPECT_EQ(storage[33], 0xEE);    // nothing written past the 32 bytes
    EXPECT_EQ(spti.bounceBuffer().size(), 32);
    const std::uint8_t* bounce = spti.bounceBuffer().data();

    spti.setCdb(0, 0x25);
    ASSERT_EQ(spti.exec(SCSI::kDataIn, unaligned, 12), 1);
    EXPECT_EQ(spti.bounceBuffer().size(), 32);
    EXPECT_EQ(spti.bounceBuffer().data(), bounce);
}

TEST(SPTI, FailedCommandLeavesSenseAndSetCdbClearsIt) {
    auto access = Drives({EmulatedDrive::Disc::Failing});
    SPTI spti(access);
    LPBuf buf(64);
    spti.setCdb(0, 0x25);
    EXPECT_EQ(spti.exec(SCSI::kDataIn, buf.data(), 8), 0);
    EXPECT_EQ(spti.request().SenseArea[2], 0x02);
    EXPECT_EQ(spti.request().SenseArea[12], 0x3A);
    spti.setCdb(0, 0x25);
    EXPECT_EQ(spti.request().SRB_Status, 0);
    for (std::uint8_t b : spti.request().SenseArea) EXPECT_EQ(b, 0);
}

TEST(SPTI, AsynchronousPipeline) {
    auto access = Drives({EmulatedDrive::Disc::DvdPlusR});
    SPTI spti(access);
    ASSERT_TRUE(spti.workerRunning());
    spti.asyncReset();
    spti.asyncWait();  // nothing outstanding: returns at once

    LPBuf a(64), b(64);
    spti.asyncReset();
    spti.setCdb(0, 0x25);
    EXPECT_TRUE(spti.asyncExec(SCSI::kDataIn, a.data(), 8));
    spti.setCdb(0, 0x46);
    spti.setCdb(1, 0x01);
    spti.setCdb(8, 0x40);
    EXPECT_TRUE(spti.asyncExec(SCSI::kDataIn, b.data(), 64));
    spti.asyncWait();
    EXPECT_EQ(a.data()[6], 0x08);  // block length 2048
    EXPECT_EQ(b.data()[7], 0x1B);  // current profile DVD+R

    // A failed command stops the next one from starting.
    access->drives[0]->failingOpcodes = {0x51};
    spti.asyncReset();
    spti.setCdb(0, 0x51);
    spti.setCdb(8, 34);
    std::size_t before = access->drives[0]->commands.size();
    EXPECT_TRUE(spti.asyncExec(SCSI::kDataIn, a.data(), 34));
    spti.setCdb(0, 0x25);
    EXPECT_FALSE(spti.asyncExec(SCSI::kDataIn, b.data(), 8));
    EXPECT_EQ(spti.request().SenseArea[12], 0x3A);
    spti.asyncWait();
    EXPECT_EQ(access->drives[0]->commands.size(), before + 1);
}

TEST(SPTI, DestroyingAnIdleTransportEndsItsWorker) {
    for (int i = 0; i < 20; ++i) {
        SPTI spti(Drives({EmulatedDrive::Disc::BlankCdR}));
        EXPECT_TRUE(spti.workerRunning());
    }
}

#ifdef _WIN32
// The drive's device is opened shared for reading only: a second open for writing, as a burning
// program makes, is refused as busy until the first is closed; the system's errors become the
// numbers the open problem is worded from.
TEST(DriveAccess, OpenIsExclusiveAndSaysWhy) {
    test::TempTree t;
    t.Write("device", "");
    auto access = NativeDriveAccess();
    const int first = access->Open(t.Path("device"));
    ASSERT_GE(first, 0);
    EXPECT_EQ(access->Open(t.Path("device")), -EBUSY);
    EXPECT_EQ(access->Open(t.Root()), -EACCES);  // a folder cannot be opened as a file
    EXPECT_EQ(access->Open("\\\\.\\CdRom99"), -ENOENT);
    // A file is no drive: the pass-through request fails, and so does the command.
    PassThroughCommand inquiry;
    inquiry.cdb[0] = 0x12;
    inquiry.cdbLength = 6;
    EXPECT_FALSE(SendPassThrough(*access, first, inquiry));
    access->Close(first);
    EXPECT_FALSE(SendPassThrough(*access, first, inquiry));
    const int again = access->Open(t.Path("device"));
    EXPECT_GE(again, 0);
    access->Close(again);
}

// The user sees and types a drive as its letter.
TEST(DriveAccess, DrivesAreNamedByTheirLetters) {
    EXPECT_EQ(DriveAddress("\\\\.\\E:"), "E:");
    EXPECT_EQ(DriveAddress("/dev/sr0"), "/dev/sr0");  // the emulated drives' names stay as they are
    for (const char* typed : {"E:", "e:", "\\\\.\\E:", "\\\\.\\e:"}) {
        EXPECT_TRUE(NamesDrive(typed, "\\\\.\\E:")) << typed;
    }
    for (const char* typed : {"F:", "E", "E:\\", ""}) {
        EXPECT_FALSE(NamesDrive(typed, "\\\\.\\E:")) << typed;
    }
}
#endif

TEST(ASPI, MissingLibraryOrEntryPoint) {
    ASPI missing("/nonexistent/libwnaspi32.so");
    EXPECT_FALSE(missing.available());
    EXPECT_EQ(missing.version(), 0u);
    EXPECT_EQ(missing.deviceCount(), 0);
    ASPI noSend(FAKE_ASPI_NOSEND);
    EXPECT_FALSE(noSend.available());
    EXPECT_EQ(noSend.deviceCount(), 0);
}

TEST(ASPI, ListsAdaptersAndTargets) {
    test::FakeAspiLayer layer;
    EmulatedDrive cd(EmulatedDrive::Disc::BlankCdR), dvd(EmulatedDrive::Disc::DvdPlusR), disk;
    layer.Adapter(0);  // a zero maximum-target byte means 8 targets
    layer.Adapter(2);
    layer.Device(0, 7, &cd);
    layer.Device(0, 8, &dvd);      // beyond the 8 targets examined
    layer.Device(1, 0, &disk, 0);  // a disk, not a CD-ROM class device
    layer.Device(1, 1, &dvd);
    ASPI aspi(FAKE_ASPI);
    ASSERT_TRUE(aspi.available());
    EXPECT_EQ(aspi.version(), 0x00040006u);
    ASSERT_EQ(aspi.deviceCount(), 2);
    aspi.selectDevice(0);
    EXPECT_EQ(InfoOf(aspi).address, "0:7:0");
    aspi.selectDevice(9);
    EXPECT_EQ(aspi.selectedDevice(), 1);
    Info info = InfoOf(aspi);
    EXPECT_EQ(info.address, "1:1:0");
    EXPECT_EQ(info.vendor, "QEMU");
    EXPECT_EQ(aspi.request().SRB_CDBLen, 12);
}

TEST(ASPI, StopsListingAtThirtyDevices) {
    test::FakeAspiLayer layer;
    EmulatedDrive cd;
    for (int h = 0; h < 3; ++h) {
        layer.Adapter(16);
        for (int t = 0; t < 16; ++t) layer.Device(h, t, &cd);
    }
    ASPI aspi(FAKE_ASPI);
    ASSERT_EQ(aspi.deviceCount(), 30);
    aspi.selectDevice(29);
    EXPECT_EQ(InfoOf(aspi).address, "1:13:0");
}

TEST(ASPI, SupportInfoWithAnErrorStatusListsNothing) {
    test::FakeAspiLayer layer;
    EmulatedDrive cd;
    layer.Adapter(8);
    layer.Device(0, 0, &cd);
    layer.SupportStatus(0x04);
    ASPI aspi(FAKE_ASPI);
    EXPECT_TRUE(aspi.available());
    EXPECT_EQ(aspi.deviceCount(), 0);
}

TEST(ASPI, AsynchronousPipeline) {
    test::FakeAspiLayer layer;
    EmulatedDrive dvd(EmulatedDrive::Disc::DvdRSequential);
    layer.Adapter(8);
    layer.Device(0, 1, &dvd);
    ASPI aspi(FAKE_ASPI);
    aspi.selectDevice(0);
    aspi.asyncReset();
    aspi.asyncWait();
    LPBuf a(64), b(64);
    aspi.setCdb(0, 0x25);
    EXPECT_TRUE(aspi.asyncExec(SCSI::kDataIn, a.data(), 8));
    dvd.failingOpcodes = {0x46};
    aspi.setCdb(0, 0x46);
    aspi.setCdb(8, 0x40);
    EXPECT_TRUE(aspi.asyncExec(SCSI::kDataIn, b.data(), 64));
    aspi.setCdb(0, 0x25);
    EXPECT_FALSE(aspi.asyncExec(SCSI::kDataIn, a.data(), 8));
    EXPECT_EQ(aspi.request().SRB_Status, aspi::SS_ERR);
    EXPECT_EQ(aspi.request().SenseArea[12], 0x3A);
    EXPECT_EQ(aspi.request().CDBByte[0], 0x46);
    aspi.asyncWait();
}

// The library completes on its own thread; the transport may let go of its event only after.
TEST(ASPI, AnOutstandingCommandIsWaitedForBeforeTheEventIsFreed) {
    test::FakeAspiLayer layer;
    EmulatedDrive dvd(EmulatedDrive::Disc::DvdRSequential);
    layer.Adapter(8);
    layer.Device(0, 1, &dvd);
    LPBuf a(64);
    for (bool reinit : {false, true}) {
        auto aspi = std::make_unique<ASPI>(FAKE_ASPI);
        aspi->selectDevice(0);
        aspi->asyncReset();
        aspi->setCdb(0, 0x25);
        ASSERT_TRUE(aspi->asyncExec(SCSI::kDataIn, a.data(), 8));
        std::size_t before = dvd.commands.size();
        if (reinit) {
            aspi->init();
        } else {
            aspi.reset();
        }
        EXPECT_EQ(dvd.commands.size(), before + 1) << "returned before the command completed";
#ifdef _WIN32
        // An event that would take the freed event's handle must not be signalled by the completion.
        ManualResetEvent victim;
        layer.Join();
        EXPECT_FALSE(victim.IsSet()) << (reinit ? "init" : "destructor");
#else
        // A file that would take the freed event's descriptor must not receive the completion.
        test::TempTree t;
        t.Write("victim", "");
        int fd = ::open(t.Path("victim").c_str(), O_WRONLY);
        layer.Join();
        ::close(fd);
        EXPECT_EQ(t.Read("victim"), "") << (reinit ? "init" : "destructor");
#endif
    }
}

}  // namespace
}  // namespace stowra
