#pragma once
// Common recordable discs with their standard capacities, for the media dialog to fill in: a
// newcomer cannot be expected to know a disc's sector count by heart. The sources of the figures
// are in docs/decisions.md.

#include <array>
#include <cstdint>

namespace stowra {

struct DiscPreset {
    const char* name;  // shown as it is in every language: these are the discs' own names
    std::int32_t cluster;
    std::int32_t total;  // sectors of `cluster` bytes
};

inline constexpr std::array<DiscPreset, 11> kDiscPresets{{
    {"CD-R 650MB (74 min)", 2048, 333000},
    {"CD-R 700MB (80 min)", 2048, 360000},
    {"CD-R 800MB (90 min)", 2048, 405000},
    {"DVD-R 4.7GB", 2048, 2298496},
    {"DVD+R 4.7GB", 2048, 2295104},
    {"DVD-R DL 8.5GB", 2048, 4171712},
    {"DVD+R DL 8.5GB", 2048, 4173824},
    {"BD-R 25GB", 2048, 12219392},
    {"BD-R DL 50GB", 2048, 24438784},
    {"BD-R XL 100GB (3 layers)", 2048, 48878592},
    {"BD-R XL 128GB (4 layers)", 2048, 62500864},
}};

}  // namespace stowra
