#pragma once
// The lines of the drive dialog: each listed drive selected in turn and asked who it is.

#include <string>
#include <vector>

#include "drive/SCSI.h"

namespace stowra {

struct DriveLine {
    std::string address, vendor, product, revision;
    std::string problem;  // why the drive cannot be used, when that is known
    // Address, vendor, product and revision with single spaces, also around empty texts; a drive
    // that cannot be used says why instead.
    std::string Text() const {
        return problem.empty() ? address + " " + vendor + " " + product + " " + revision : problem;
    }
};

// Leaves the last listed drive selected, as the dialog's listing does.
std::vector<DriveLine> ListDriveLines(SCSI& transport);

}  // namespace stowra
