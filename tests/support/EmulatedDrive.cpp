#include "support/EmulatedDrive.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which they need.
#include <ntddscsi.h>
#include <winioctl.h>
#else
#include <scsi/sg.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace stowra::test {

namespace {

void Put16(std::vector<std::uint8_t>& r, std::size_t at, std::uint32_t v) {
    r[at] = static_cast<std::uint8_t>(v >> 8);
    r[at + 1] = static_cast<std::uint8_t>(v);
}

void Put32(std::vector<std::uint8_t>& r, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        r[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

void PutText(std::vector<std::uint8_t>& r, std::size_t at, const std::string& text, std::size_t width) {
    std::memcpy(r.data() + at, text.data(), std::min(text.size(), width));
}

std::uint32_t Be16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] << 8 | p[1]);
}

// Group length of an opcode, as the kernel and ATAPI drives expect it.
std::size_t GroupLength(std::uint8_t opcode) {
    if (opcode < 0x20)
        return 6;
    if (opcode < 0x60)
        return 10;
    if (opcode >= 0xA0 && opcode < 0xC0)
        return 12;
    return 6;
}

}  // namespace

EmulatedDrive::EmulatedDrive(Disc disc) {
    switch (disc) {
        case Disc::BlankCdR:
            profile = 0x0009, trackMode = 4, dataMode = 0xF, freeBlocks = 359849;
            break;
        case Disc::BlankCdRw:
            profile = 0x000A, trackMode = 4, dataMode = 0xF, freeBlocks = 359849;
            atip[0] = 97, atip[1] = 15, atip[2] = 0;
            break;
        case Disc::DvdRSequential:
            profile = 0x0011, freeBlocks = 2298496, structures = {{0x00, 0x0802}, {0x0E, 0x0024}};
            break;
        case Disc::DvdRIncremental:
            profile = 0x0011, freeBlocks = 2298496, packetIncremental = true;
            structures = {{0x00, 0x0802}, {0x0E, 0x0024}};
            break;
        case Disc::DvdRw:
            profile = 0x0014, freeBlocks = 2298496, structures = {{0x00, 0x0802}, {0x0E, 0x0024}};
            preRecordedId1 = "TDK502", preRecordedId2 = "sakuM3";
            break;
        case Disc::DvdPlusR:
            profile = 0x001B, trackMode = 7, freeBlocks = 2295104;
            structures = {{0x00, 0x0802}, {0x01, 0x0006}, {0x11, 0x0102}};
            break;
        case Disc::DvdPlusRDl:
            profile = 0x002B, trackMode = 7, freeBlocks = 4173824;
            structures = {{0x00, 0x0802}, {0x11, 0x0102}};
            adipMaker = "MKM", adipType = "001";
            break;
        case Disc::Recorded:
            profile = 0x0010, lastLba = 1234567, blankTrack = false, nwaValid = false, freeBlocks = 0;
            break;
        case Disc::DvdRam:
            profile = 0x0012, freeBlocks = 2236704;
            break;
        case Disc::Failing:
            failAll = true;
            break;
    }
}

std::vector<std::uint8_t> EmulatedDrive::Reply(const std::uint8_t* cdb, bool& ok, std::uint8_t* senseKey) {
    ok = true;
    auto fail = [&](std::uint8_t key, std::uint8_t asc) {
        ok = false;
        senseKey[0] = key;
        senseKey[1] = asc;
        return std::vector<std::uint8_t>{};
    };
    const bool cd = profile < 0x10;
    switch (cdb[0]) {
        case 0x12: {  // INQUIRY
            if (!answersInquiry)
                return fail(0x05, 0x20);
            std::vector<std::uint8_t> r(36);
            r[0] = 0x05, r[1] = 0x80, r[2] = 0x05, r[3] = 0x32, r[4] = 0x1F;
            PutText(r, 8, vendor, 8);
            PutText(r, 16, product, 16);
            PutText(r, 32, revision, 4);
            return r;
        }
        case 0x25: {  // READ CAPACITY
            std::vector<std::uint8_t> r(8);
            Put32(r, 0, lastLba);
            Put32(r, 4, blockLength);
            return r;
        }
        case 0x46: {                      // GET CONFIGURATION: header, then the profile list feature
            if ((cdb[1] & 0x03) != 0x01)  // the probe asks for current features only
                return fail(0x05, 0x24);
            std::vector<std::uint8_t> r(16);
            Put32(r, 0, 12);
            Put16(r, 6, profile);
            r[8] = 0, r[9] = 0, r[10] = 0x03, r[11] = 4;
            Put16(r, 12, profile);
            r[14] = 0x01;
            return r;
        }
        case 0x51: {  // READ DISC INFORMATION
            std::vector<std::uint8_t> r(34);
            Put16(r, 0, 0x20);
            r[2] = static_cast<std::uint8_t>((profile == 0x000A || profile == 0x0014 ? 0x10 : 0) |
                                             (lastLba ? 0x0E : 0));
            r[3] = 1, r[4] = 1, r[5] = 1, r[6] = 1;
            return r;
        }
        case 0x43: {  // READ TOC/PMA/ATIP
            if ((cdb[2] & 0x0F) != 4)
                return fail(0x05, 0x24);
            if (!cd || !atipReadable)
                return fail(0x05, 0x24);
            if (atipAsToc) {
                std::vector<std::uint8_t> r(20);
                Put16(r, 0, 0x12);
                r[2] = 1, r[3] = 1, r[5] = 0x14, r[6] = 1;
                return r;
            }
            std::vector<std::uint8_t> r(28);
            Put16(r, 0, 0x1A);
            r[4] = 0xD0, r[6] = static_cast<std::uint8_t>(0x80 | (profile == 0x000A ? 0x40 : 0));
            r[8] = atip[0], r[9] = atip[1], r[10] = atip[2];
            r[12] = 0x4F, r[13] = 0x3B, r[14] = 0x4A;
            return r;
        }
        case 0xAD: {  // READ DVD STRUCTURE
            if (cd)
                return fail(0x05, 0x30);
            const std::uint8_t format = cdb[7];
            if (format == 0xFF) {
                std::vector<std::uint8_t> r(4 + 4 * structures.size());
                Put16(r, 0, static_cast<std::uint32_t>(r.size() - 2));
                for (std::size_t i = 0; i < structures.size(); ++i) {
                    r[4 + 4 * i] = structures[i].first;
                    r[5 + 4 * i] = 0x40;
                    Put16(r, 6 + 4 * i, structures[i].second);
                }
                return r;
            }
            bool listed =
                std::any_of(structures.begin(), structures.end(), [&](auto& s) { return s.first == format; });
            if (!listed)
                return fail(0x05, 0x24);
            if (format == 0x0E) {
                std::vector<std::uint8_t> r(4 + 0x24);
                Put16(r, 0, static_cast<std::uint32_t>(r.size() - 2));
                if (preRecordedFieldIds)
                    r[20] = 3, r[28] = 4, r[36] = 5;
                PutText(r, 21, preRecordedId1, 6);
                PutText(r, 29, preRecordedId2, 6);
                return r;
            }
            if (format == 0x11) {
                std::vector<std::uint8_t> r(4 + 256);
                Put16(r, 0, 0x0102);
                PutText(r, 23, adipMaker, 8);
                PutText(r, 31, adipType, 3);
                return r;
            }
            std::vector<std::uint8_t> r(4 + 2048);
            Put16(r, 0, 0x0802);
            return r;
        }
        case 0x52: {  // READ TRACK INFORMATION
            if (cdb[1] != 0x01 || cdb[5] != 1)
                return fail(0x05, 0x24);
            std::vector<std::uint8_t> r(36);
            Put16(r, 0, 0x22);
            r[2] = 1, r[3] = 1;
            r[5] = trackMode;
            r[6] = static_cast<std::uint8_t>((blankTrack ? 0x40 : 0) | (packetIncremental ? 0x20 : 0) |
                                             (fixedPacket ? 0x10 : 0) | (dataMode & 0x0F));
            r[7] = nwaValid ? 0x01 : 0x00;
            Put32(r, 12, nextWritable);
            Put32(r, 16, freeBlocks);
            Put32(r, 20, fixedPacketSize);
            Put32(r, 24, freeBlocks);
            return r;
        }
        case 0x5A: {  // MODE SENSE (10), the write parameters page
            if ((cdb[2] & 0x3F) != 0x05)
                return fail(0x05, 0x24);
            std::vector<std::uint8_t> r(8 + blockDescriptorLength + 52);
            Put16(r, 0, static_cast<std::uint32_t>(r.size() - 2));
            Put16(r, 6, blockDescriptorLength);
            std::size_t p = 8 + blockDescriptorLength;
            r[p] = 0x85, r[p + 1] = 0x32,
            r[p + 2] = static_cast<std::uint8_t>(0x40 | writeType);  // PS: savable
            r[p + 3] = 0x05, r[p + 4] = 0x08, r[p + 5] = 0x10, r[p + 13] = 0x10;
            return r;
        }
        case 0x55:  // MODE SELECT (10): handled with its data
            return {};
        default:
            return fail(0x05, 0x20);
    }
}

bool EmulatedDrive::ModeSelect(const std::uint8_t* data, std::uint32_t length) {
    ++modeSelects;
    lastModeSelect.assign(data, data + length);
    // A fresh header (mode data length reserved, no block descriptor) and the write parameters
    // page as saved pages are not asked for (PS clear); the link size only where the disc has one;
    // mode 1 data blocks; session format 0.
    if (length < 8 + 0x32 + 2 || std::any_of(data, data + 8, [](std::uint8_t b) { return b != 0; }))
        return false;
    const std::uint8_t* page = data + 8;
    const bool linked = profile == 0x11 || profile == 0x14;
    if (page[0] != 0x05 || page[1] != 0x32 || (page[2] & 0x40) == 0 || (page[2] & 0x0F) > 4 ||
        ((page[2] & 0x20) != 0) != linked || page[5] != (linked ? 16 : 0) || page[4] != 8 || page[8] != 0)
        return false;
    writeType = page[2] & 0x0F;
    if (modeSelectSwitches && writeType == 2) {
        packetIncremental = false;
    }
    return true;
}

EmulatedDrive::Outcome EmulatedDrive::Execute(const std::uint8_t* cdb, std::size_t cdbLength,
                                              DataDirection direction, std::uint8_t* buffer,
                                              std::uint32_t length) {
    commands.emplace_back(cdb, cdb + cdbLength);
    Outcome out;
    auto checkCondition = [&](std::uint8_t key, std::uint8_t asc) {
        out.status = 2;
        out.sense[0] = 0x70, out.sense[2] = key, out.sense[7] = 0x0A, out.sense[12] = asc;
    };
    if (cdbLength < GroupLength(cdb[0])) {
        out.hostStatus = 0x07;  // the ATAPI layer refuses a CDB shorter than its group
        return out;
    }
    if (failAll || std::find(failingOpcodes.begin(), failingOpcodes.end(), cdb[0]) != failingOpcodes.end()) {
        checkCondition(0x02, 0x3A);
        return out;
    }
    if (cdb[0] == 0x55) {
        if (direction != DataDirection::Out) {
            checkCondition(0x05, 0x24);
            return out;
        }
        // PF set, SP clear, and the list's whole length announced.
        if (cdb[1] != 0x10 || Be16(cdb + 7) != length ||
            !ModeSelect(buffer, std::min<std::uint32_t>(length, Be16(cdb + 7)))) {
            checkCondition(0x05, 0x26);  // invalid field in parameter list
        }
        return out;
    }
    bool ok = true;
    std::uint8_t key[2] = {};
    std::vector<std::uint8_t> reply = Reply(cdb, ok, key);
    if (ok && mutate) {
        mutate(cdb, reply);
    }
    if (!ok) {
        checkCondition(key[0], key[1]);
        return out;
    }
    if (direction == DataDirection::In && buffer != nullptr) {
        // Allocation length: byte 4 for 6-byte CDBs, bytes 7-8 for 10-byte ones, 8-9 for 12-byte ones.
        const std::size_t group = GroupLength(cdb[0]);
        std::uint32_t allocation = group == 6 ? cdb[4] : group == 10 ? Be16(cdb + 7) : Be16(cdb + 8);
        if (cdb[0] == 0x25)
            allocation = 8;
        std::uint32_t n = std::min({allocation, length, static_cast<std::uint32_t>(reply.size())});
        std::memcpy(buffer, reply.data(), n);
        if (residUnreliable && n < std::min(allocation, length)) {
            std::memset(buffer + n, 0, std::min(allocation, length) - n);
        }
        out.transferred = n;
    }
    return out;
}

std::vector<std::string> EmulatedDriveAccess::ListDrives() {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < drives.size() && i < 26; ++i) {
        paths.push_back("/dev/sr" + std::to_string(i));
    }
    return paths;
}

int EmulatedDriveAccess::Open(const std::string& path) {
    ++opens;
    if (path.rfind("/dev/sr", 0) != 0)
        return -1;
    int index = std::atoi(path.c_str() + 7);
    if (index < 0 || static_cast<std::size_t>(index) >= drives.size())
        return -1;
    if (std::find(unopenable.begin(), unopenable.end(), index) != unopenable.end())
        return -openError;
    return 100 + index;
}

void EmulatedDriveAccess::Close(int) {
    ++closes;
}

#ifdef _WIN32
// The Windows pass-through: a SCSI_PASS_THROUGH_DIRECT with the sense buffer where its
// SenseInfoOffset points; a request the port driver refuses fails the control request itself.
int EmulatedDriveAccess::Ioctl(int handle, unsigned long request, void* argument) {
    if (request != IOCTL_SCSI_PASS_THROUGH_DIRECT || handle < 100 ||
        static_cast<std::size_t>(handle - 100) >= drives.size()) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    auto* s = static_cast<SCSI_PASS_THROUGH_DIRECT*>(argument);
    if (s->Length != sizeof *s || s->CdbLength < 6 || s->CdbLength > 16 || s->SenseInfoOffset < sizeof *s) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    lastCdbLengths.push_back(s->CdbLength);
    DataDirection direction = s->DataIn == SCSI_IOCTL_DATA_IN    ? DataDirection::In
                              : s->DataIn == SCSI_IOCTL_DATA_OUT ? DataDirection::Out
                                                                 : DataDirection::None;
    EmulatedDrive& drive = *drives[static_cast<std::size_t>(handle - 100)];
    auto out = drive.Execute(s->Cdb, s->CdbLength, direction, static_cast<std::uint8_t*>(s->DataBuffer),
                             s->DataTransferLength);
    if (out.hostStatus != 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    s->ScsiStatus = out.status;
    std::size_t n = 0;
    if (out.status == 2) {
        n = std::min<std::size_t>(s->SenseInfoLength, sizeof out.sense);
        std::memcpy(static_cast<std::uint8_t*>(argument) + s->SenseInfoOffset, out.sense, n);
    }
    s->SenseInfoLength = static_cast<UCHAR>(n);
    return 0;
}
#else
int EmulatedDriveAccess::Ioctl(int handle, unsigned long request, void* argument) {
    if (request != SG_IO || handle < 100 || static_cast<std::size_t>(handle - 100) >= drives.size()) {
        errno = EBADF;
        return -1;
    }
    auto* io = static_cast<sg_io_hdr_t*>(argument);
    if (io->interface_id != 'S') {
        errno = ENOSYS;
        return -1;
    }
    if (io->cmd_len < 6 || io->cmd_len > 16) {
        errno = EMSGSIZE;
        return -1;
    }
    lastCdbLengths.push_back(io->cmd_len);
    DataDirection direction = io->dxfer_direction == SG_DXFER_FROM_DEV ? DataDirection::In
                              : io->dxfer_direction == SG_DXFER_TO_DEV ? DataDirection::Out
                                                                       : DataDirection::None;
    EmulatedDrive& drive = *drives[static_cast<std::size_t>(handle - 100)];
    auto out = drive.Execute(io->cmdp, io->cmd_len, direction, static_cast<std::uint8_t*>(io->dxferp),
                             io->dxfer_len);
    io->status = out.status;
    io->host_status = out.hostStatus;
    io->driver_status = out.status == 2 ? 0x08 : 0;
    io->info = out.status != 0 || out.hostStatus != 0 ? SG_INFO_CHECK : 0;
    io->resid = 0;  // ATAPI reports nothing useful here
    if (out.status == 2 && io->sbp != nullptr) {
        std::size_t n = std::min<std::size_t>(io->mx_sb_len, sizeof out.sense);
        std::memcpy(io->sbp, out.sense, n);
        io->sb_len_wr = static_cast<unsigned char>(n);
    }
    return 0;
}
#endif

}  // namespace stowra::test
