#pragma once
// A disc in a drive (or libburn's "stdio:" pseudo-drive), grabbed for reading back.

#include <string>

#include "burn/ImageCheck.h"

namespace stowra::burning {

// libburn's address for what the user typed: a device path as it is, "stdio:FILE" for a file.
std::string DriveAddress(const std::string& device);

// The disc's image checked by its MD5 records and, given the folder, against every file.
ImageCheckReport CheckDriveDisc(const std::string& device, const std::string& folder,
                                const CheckProgress& progress = {});

}  // namespace stowra::burning
