#pragma once
// An emulated MMC drive holding one disc, answering command descriptor blocks with the reply
// layouts real drives use. It sits behind the pass-through seam (EmulatedDriveAccess) and behind
// a test build of the ASPI library, so the transports' real code runs against it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/DriveAccess.h"

namespace stowra::test {

class EmulatedDrive {
public:
    enum class Disc {
        BlankCdR,
        BlankCdRw,
        DvdRSequential,
        DvdRIncremental,  // switches to disc-at-once when MODE SELECT sets write type 2
        DvdRw,
        DvdPlusR,
        DvdPlusRDl,
        Recorded,
        DvdRam,
        Failing,  // every command ends in CHECK CONDITION
    };
    explicit EmulatedDrive(Disc disc = Disc::BlankCdR);

    // Identification.
    std::string vendor = "QEMU    ", product = "QEMU DVD-ROM    ", revision = "2.5+";
    bool answersInquiry = true;
    // The disc.
    std::uint16_t profile = 0x0009;
    std::uint32_t lastLba = 0;
    std::uint32_t blockLength = 2048;
    bool atipReadable = true;
    std::uint8_t atip[3] = {97, 27, 15};
    bool atipAsToc = false;  // answers READ TOC/PMA/ATIP format 4 with a plain table of contents
    std::vector<std::pair<std::uint8_t, std::uint16_t>> structures;  // format, length
    std::string preRecordedId1 = "CMC MA", preRecordedId2 = "G. AM3";
    bool preRecordedFieldIds = true;  // field ID 3 at byte 20, field ID 4 at byte 28
    std::string adipMaker = "RITEK", adipType = "R04";
    // The first track.
    std::uint8_t trackMode = 5, dataMode = 1;
    bool blankTrack = true, fixedPacket = false, nwaValid = true, packetIncremental = false;
    std::uint32_t nextWritable = 0, freeBlocks = 359849, fixedPacketSize = 16;
    // Write parameters page: the write type the drive holds, and whether a switch to 2 clears
    // Packet/Inc (an incremental DVD-R) or changes nothing (a stubborn drive).
    std::uint8_t writeType = 0;
    bool modeSelectSwitches = true;
    std::uint16_t blockDescriptorLength = 0;
    bool failAll = false;
    std::vector<std::uint8_t> failingOpcodes;
    bool residUnreliable = true;
    // Lets a test rewrite any reply after it was built (for untrusted replies and fuzzing).
    std::function<void(const std::uint8_t* cdb, std::vector<std::uint8_t>& reply)> mutate;

    // What the drive was sent.
    std::vector<std::vector<std::uint8_t>> commands;
    int modeSelects = 0;
    std::vector<std::uint8_t> lastModeSelect;  // the last MODE SELECT parameter list

    struct Outcome {
        std::uint8_t status = 0;       // 0 GOOD, 2 CHECK CONDITION
        std::uint16_t hostStatus = 0;  // 7 when the CDB was cut short
        std::uint8_t sense[18] = {};
        std::uint32_t transferred = 0;  // bytes of the reply placed in the buffer
    };
    Outcome Execute(const std::uint8_t* cdb, std::size_t cdbLength, DataDirection direction,
                    std::uint8_t* buffer, std::uint32_t length);

private:
    std::vector<std::uint8_t> Reply(const std::uint8_t* cdb, bool& ok, std::uint8_t* senseKey);
    bool ModeSelect(const std::uint8_t* data, std::uint32_t length);
};

// The operating system's pass-through with emulated drives at /dev/sr0, /dev/sr1, ...
class EmulatedDriveAccess : public DriveAccess {
public:
    std::vector<std::shared_ptr<EmulatedDrive>> drives;
    std::vector<int> unopenable;  // indexes of drives whose device cannot be opened
    int openError = 13;           // and why (EACCES)
    std::vector<std::uint8_t> lastCdbLengths;
    int opens = 0, closes = 0;

    std::vector<std::string> ListDrives() override;
    int Open(const std::string& path) override;
    void Close(int handle) override;
    int Ioctl(int handle, unsigned long request, void* argument) override;
};

}  // namespace stowra::test
