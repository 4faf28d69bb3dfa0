#pragma once
// The operating system's own SCSI pass-through to optical drives. The drive transport talks to
// drives only through this seam, so tests can place an emulated drive behind the very call that
// carries each command.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace stowra {

enum class DataDirection { In, Out, None };

struct PassThroughCommand {
    std::uint8_t cdb[16] = {};
    std::uint8_t cdbLength = 0;
    DataDirection direction = DataDirection::None;
    void* buffer = nullptr;
    std::uint32_t length = 0;
    std::uint32_t timeout_s = 65535;
    std::uint8_t sense[32] = {};  // what the drive reported, copied back on success and failure
};

class DriveAccess {
public:
    virtual ~DriveAccess() = default;
    // The optical drives' device paths, in order, at most 26.
    virtual std::vector<std::string> ListDrives() = 0;
    // Opens a drive for reading and writing without waiting for a medium, and exclusively, so
    // that nothing is changed while another program (a burner) holds the drive. Returns the
    // handle, or minus the system's error number (EACCES, EBUSY, ...) when it cannot.
    virtual int Open(const std::string& path) = 0;
    virtual void Close(int handle) = 0;
    // The pass-through control request itself (SG_IO on Linux).
    virtual int Ioctl(int handle, unsigned long request, void* argument) = 0;
};

// The real drives of this machine.
std::shared_ptr<DriveAccess> NativeDriveAccess();

// Sends one command. True only when the request itself succeeded and the drive, the host adapter
// and the driver all reported no error.
bool SendPassThrough(DriveAccess& access, int handle, PassThroughCommand& command);

// A drive's address as the user sees and types it: the device path on Linux ("/dev/sr0"); on
// Windows the drive letter and its colon ("E:") for the device "\\.\E:".
std::string DriveAddress(const std::string& device);

// True when the text the user typed names the drive with this device (on Windows the letter in
// either case, with or without the device prefix).
bool NamesDrive(const std::string& typed, const std::string& device);

// What to tell the user when a drive's device could not be opened (error: the system's number).
std::string DriveOpenProblem(const std::string& device, int error);

// The CDB length of an opcode's group: 6, 10, 12 or 16 bytes.
std::uint8_t CdbLengthOf(std::uint8_t opcode);

}  // namespace stowra
