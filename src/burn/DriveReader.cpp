#include "burn/DriveReader.h"

#include <libburn/libburn.h>

#include "burn/BurnLibraries.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::burning {

using namespace ::burn;  // libburn declares itself in a namespace of that name in C++

std::string DriveAddress(const std::string& device) {
    if (device.rfind("stdio:", 0) == 0 || device.rfind("/dev/", 0) == 0) {
        return device;
    }
    return "stdio:" + device;
}

ImageCheckReport CheckDriveDisc(const std::string& device, const std::string& folder,
                                const CheckProgress& progress) {
    ImageCheckReport report;
    burn_drive_info* info = nullptr;
    const std::string address = DriveAddress(device);
    if (burn_drive_scan_and_grab(&info, const_cast<char*>(address.c_str()), 1) <= 0 || info == nullptr) {
        TakeLibraryMessages();
        report.error =
            Format(Tr("ドライブを開けません: %s (他のプログラムが使っているか、ドライブがありません)"),
                   device.c_str());
        return report;
    }
    burn_drive* drive = info[0].drive;
    const BlockReader read = [drive](std::uint32_t block, unsigned char* data) {
        off_t count = 0;
        return burn_read_data(drive, static_cast<off_t>(block) * 2048, reinterpret_cast<char*>(data), 2048,
                              &count, 2) > 0 &&
               count == 2048;
    };
    report = CheckImage(read, folder, progress);
    burn_drive_release(drive, 0);
    burn_drive_info_free(info);
    return report;
}

}  // namespace stowra::burning
