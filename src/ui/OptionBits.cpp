#include "ui/OptionBits.h"

#include "packing/MediaProfile.h"

namespace stowra {

std::int32_t ApplyOptionChecks(std::int32_t options, const std::array<bool, 8>& checked) {
    for (std::size_t i = 0; i < kOptionDialogBits.size(); ++i) {
        options = checked[i] ? (options | kOptionDialogBits[i]) : (options & ~kOptionDialogBits[i]);
    }
    return options;
}

int GroupItemOf(std::int32_t options) {
    if (options & OptionFlags::LeafFolderGrouping)
        return 1;
    if (options & OptionFlags::SubfolderGrouping)
        return 2;
    return 0;
}

std::int32_t ApplyGroupItem(std::int32_t options, int item) {
    options &= ~(OptionFlags::LeafFolderGrouping | OptionFlags::SubfolderGrouping);
    if (item == 1)
        options |= OptionFlags::LeafFolderGrouping;
    if (item == 2)
        options |= OptionFlags::SubfolderGrouping;
    return options;
}

}  // namespace stowra
