#pragma once
// Everything the settings file keeps, as the main window holds it. The initial values are those
// before the file is read.

#include <cstddef>
#include <cstdint>
#include <string>

#include "packing/MediaProfile.h"
#include "settings/ProfileList.h"

namespace stowra {

struct AppSettings {
    std::int32_t Options = OptionFlags::ReadAtip;
    std::int32_t MinSize = 0;          // bytes, compared as unsigned by the scan
    std::int32_t DefaultSystem = 256;  // sectors, for new profiles and profiles lacking "System"
    std::int32_t DefaultSlack = 3840;  // sectors, for new profiles and profiles lacking "Slack"
    std::size_t selected = 0;          // index into profiles
    std::string SrcFolder;
    std::string DstFolder;
    ProfileList profiles;
};

}  // namespace stowra
