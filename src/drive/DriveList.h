#pragma once
// The lines of the drive dialog: each listed drive selected in turn and asked who it is.

#include <string>
#include <vector>

#include "drive/SCSI.h"

namespace stowra {

struct DriveLine {
    std::string address, vendor, product, revision;
    // Address, vendor, product and revision with single spaces, also around empty texts.
    std::string Text() const { return address + " " + vendor + " " + product + " " + revision; }
};

// Leaves the last listed drive selected, as the dialog's listing does.
std::vector<DriveLine> ListDriveLines(SCSI& transport);

}  // namespace stowra
