#pragma once
// The media profiles in the order the selector shows them. The list is never sorted; new entries
// go to the end. Each entry owns its record, whose address stays the same while the entry lives,
// so the window may hold the current profile by reference.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "packing/MediaProfile.h"

namespace stowra {

class ProfileList {
public:
    struct Entry {
        std::string name;
        std::unique_ptr<MediaProfile> profile;
    };
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    Entry& operator[](std::size_t index) { return entries_[index]; }
    const Entry& operator[](std::size_t index) const { return entries_[index]; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

    MediaProfile& Append(std::string name, const MediaProfile& profile);
    void Remove(std::size_t index);
    // The entry with exactly this name (byte for byte), or npos.
    std::size_t Find(std::string_view name) const;
    // The first entry other than `skip` whose name equals this one without regard to letter case,
    // or npos.
    std::size_t FindIgnoringCase(std::string_view name, std::size_t skip = npos) const;

private:
    std::vector<Entry> entries_;
};

}  // namespace stowra
