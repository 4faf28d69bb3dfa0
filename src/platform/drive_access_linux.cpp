#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/DriveAccess.h"

namespace stowra {

namespace {

class LinuxDriveAccess : public DriveAccess {
public:
    std::vector<std::string> ListDrives() override {
        std::vector<std::string> drives;
        for (int i = 0; i < 26; ++i) {
            std::string path = "/dev/sr" + std::to_string(i);
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
                drives.push_back(path);
            }
        }
        return drives;
    }
    int Open(const std::string& path) override {
        // O_EXCL on a block device: refused with EBUSY while it is mounted or another program
        // holds it exclusively, as burning programs do.
        int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_EXCL);
        return fd >= 0 ? fd : -(errno != 0 ? errno : EIO);
    }
    void Close(int handle) override {
        if (handle >= 0)
            ::close(handle);
    }
    int Ioctl(int handle, unsigned long request, void* argument) override {
        return ::ioctl(handle, request, argument);
    }
};

}  // namespace

std::shared_ptr<DriveAccess> NativeDriveAccess() {
    return std::make_shared<LinuxDriveAccess>();
}

bool SendPassThrough(DriveAccess& access, int handle, PassThroughCommand& command) {
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.dxfer_direction = command.direction == DataDirection::In    ? SG_DXFER_FROM_DEV
                         : command.direction == DataDirection::Out ? SG_DXFER_TO_DEV
                                                                   : SG_DXFER_NONE;
    io.cmd_len = command.cdbLength;
    io.cmdp = command.cdb;
    io.mx_sb_len = sizeof command.sense;
    std::uint8_t sense[sizeof command.sense] = {};
    io.sbp = sense;
    io.dxfer_len = command.direction == DataDirection::None ? 0 : command.length;
    io.dxferp = command.direction == DataDirection::None ? nullptr : command.buffer;
    io.timeout = command.timeout_s * 1000u;
    int r = handle < 0 ? -1 : access.Ioctl(handle, SG_IO, &io);
    std::memcpy(command.sense, sense, sizeof sense);
    // The residual count is unreliable on ATAPI drives; callers read each reply's own lengths.
    return r == 0 && io.status == 0 && io.host_status == 0 && io.driver_status == 0;
}

}  // namespace stowra
