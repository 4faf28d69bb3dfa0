#include "drive/DriveList.h"

namespace stowra {

std::vector<DriveLine> ListDriveLines(SCSI& transport) {
    std::vector<DriveLine> lines;
    for (int i = 0; i < transport.deviceCount(); ++i) {
        transport.selectDevice(i);
        DriveLine line;
        transport.deviceInfo(line.vendor, line.product, line.address, line.revision);
        line.problem = transport.problem();
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace stowra
