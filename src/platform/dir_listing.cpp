#include <algorithm>

#include "platform/Folder.h"

namespace stowra {

void DirListing::Clear() {
    names_.clear();
    entries_.clear();
    skippedLinks_ = 0;
    skippedNames_ = 0;
    skippedCopies_ = 0;
}

void DirListing::Add(std::string_view name, EntryKind kind, bool isLink, std::uint64_t size) {
    entries_.push_back({static_cast<std::uint32_t>(names_.size()), static_cast<std::uint32_t>(name.size()),
                        kind, isLink, size});
    names_.append(name);
}

void DirListing::SortByName() {
    std::sort(entries_.begin(), entries_.end(),
              [this](const Entry& a, const Entry& b) { return Name(a) < Name(b); });
}

}  // namespace stowra
