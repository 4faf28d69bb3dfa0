#include <windows.h>
// After windows.h, which they need (the lean windows.h leaves the control codes out).
#include <ntddscsi.h>
#include <winioctl.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/DriveAccess.h"

namespace stowra {

namespace {

// The pass-through block: the request, then the sense buffer the driver fills behind it.
struct PassThroughBlock {
    SCSI_PASS_THROUGH_DIRECT sptd;
    ULONG filler;
    UCHAR sense[32];
};

int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        default:
            return EIO;
    }
}

// The drives behind their letters. Handles given out are small numbers standing for the
// devices this object opened; the worker thread sends commands while the caller may select.
class Win32DriveAccess : public DriveAccess {
public:
    ~Win32DriveAccess() override {
        for (auto& [id, device] : devices_) {
            ::CloseHandle(device);
        }
    }
    std::vector<std::string> ListDrives() override {
        std::vector<std::string> drives;
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            const char root[] = {letter, ':', '\\', '\0'};
            if (::GetDriveTypeA(root) == DRIVE_CDROM) {
                drives.push_back(std::string("\\\\.\\") + letter + ':');
            }
        }
        return drives;
    }
    int Open(const std::string& path) override {
        // Shared for reading only: refused while a burning program holds the drive for writing,
        // and nobody can start writing while the probe changes the drive's write parameters.
        HANDLE device = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE) {
            return -ErrnoOf(::GetLastError());
        }
        std::lock_guard lock(mutex_);
        const int id = next_++;
        devices_.emplace(id, device);
        return id;
    }
    void Close(int handle) override {
        std::lock_guard lock(mutex_);
        auto it = devices_.find(handle);
        if (it != devices_.end()) {
            ::CloseHandle(it->second);
            devices_.erase(it);
        }
    }
    int Ioctl(int handle, unsigned long request, void* argument) override {
        HANDLE device = INVALID_HANDLE_VALUE;
        {
            std::lock_guard lock(mutex_);
            auto it = devices_.find(handle);
            if (it != devices_.end()) {
                device = it->second;
            }
        }
        if (device == INVALID_HANDLE_VALUE || request != IOCTL_SCSI_PASS_THROUGH_DIRECT) {
            return -1;
        }
        DWORD returned = 0;
        return ::DeviceIoControl(device, request, argument, sizeof(PassThroughBlock), argument,
                                 sizeof(PassThroughBlock), &returned, nullptr)
                   ? 0
                   : -1;
    }

private:
    std::mutex mutex_;
    std::map<int, HANDLE> devices_;
    int next_ = 1;
};

}  // namespace

std::shared_ptr<DriveAccess> NativeDriveAccess() {
    return std::make_shared<Win32DriveAccess>();
}

bool SendPassThrough(DriveAccess& access, int handle, PassThroughCommand& command) {
    PassThroughBlock block{};
    SCSI_PASS_THROUGH_DIRECT& s = block.sptd;
    s.Length = sizeof s;
    s.CdbLength = command.cdbLength;
    s.SenseInfoLength = sizeof block.sense;
    s.SenseInfoOffset = offsetof(PassThroughBlock, sense);
    s.DataIn = command.direction == DataDirection::In    ? SCSI_IOCTL_DATA_IN
               : command.direction == DataDirection::Out ? SCSI_IOCTL_DATA_OUT
                                                         : SCSI_IOCTL_DATA_UNSPECIFIED;
    s.DataTransferLength = command.direction == DataDirection::None ? 0 : command.length;
    s.DataBuffer = command.direction == DataDirection::None ? nullptr : command.buffer;
    s.TimeOutValue = command.timeout_s;
    std::memcpy(s.Cdb, command.cdb, sizeof s.Cdb);
    const int r = handle < 0 ? -1 : access.Ioctl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block);
    static_assert(sizeof block.sense == sizeof command.sense);
    std::memcpy(command.sense, block.sense, sizeof block.sense);
    return r == 0 && s.ScsiStatus == 0;
}

}  // namespace stowra
