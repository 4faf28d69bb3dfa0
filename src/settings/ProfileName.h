#pragma once
// Profile names the settings file cannot keep apart or store faithfully.

#include <cstddef>
#include <string>
#include <string_view>

#include "settings/ProfileList.h"

namespace stowra {

// Why the media dialog refuses this name, or the empty text when it may be used. Runs after the
// dialog's own checks. Section names in the settings file match without regard to letter case,
// so a name that differs only in case from another entry (other than `skipIndex`, the entry
// being edited) or from "Stowra" would be read back as that one; brackets and line breaks would
// break the section's header line.
std::string ProfileNameProblem(std::string_view name, const ProfileList& list,
                               std::size_t skipIndex = ProfileList::npos);

}  // namespace stowra
