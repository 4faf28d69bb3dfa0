#pragma once
// How the two option dialogs change the option bits: each dialog owns its own bits and carries
// every other bit, the unknown high ones included, unchanged.

#include <array>
#include <cstdint>

namespace stowra {

// The options dialog's check boxes, in the order of its form: the six of old, then the last disc
// and the checksum files.
inline constexpr std::array<std::int32_t, 8> kOptionDialogBits = {0x01, 0x02, 0x04,  0x10,
                                                                  0x20, 0x40, 0x200, 0x100};

// Bits 0, 1, 2, 4, 5, 6, 9 and 8 from the check boxes, every other bit kept.
std::int32_t ApplyOptionChecks(std::int32_t options, const std::array<bool, 8>& checked);

// The grouping dialog's radio item: 1 for leaf-folder grouping (it wins when both bits are set),
// 2 for subfolder grouping, 0 for none.
int GroupItemOf(std::int32_t options);
// Bits 3 and 7 from the radio item, every other bit kept.
std::int32_t ApplyGroupItem(std::int32_t options, int item);

}  // namespace stowra
