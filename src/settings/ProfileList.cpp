#include "settings/ProfileList.h"

#include "platform/PrivateProfile.h"

namespace stowra {

MediaProfile& ProfileList::Append(std::string name, const MediaProfile& profile) {
    entries_.push_back({std::move(name), std::make_unique<MediaProfile>(profile)});
    return *entries_.back().profile;
}

void ProfileList::Remove(std::size_t index) {
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

std::size_t ProfileList::Find(std::string_view name) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].name == name) {
            return i;
        }
    }
    return npos;
}

std::size_t ProfileList::FindIgnoringCase(std::string_view name, std::size_t skip) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (i != skip && SameNameIgnoringCase(entries_[i].name, name)) {
            return i;
        }
    }
    return npos;
}

}  // namespace stowra
