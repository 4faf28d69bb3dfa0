#pragma once
// The result model of one packing run, read by the disc tree, the file list, the move and the
// index files.

#include <cstdint>
#include <string>
#include <vector>

#include "image/ImageSize.h"
#include "packing/FileInventory.h"

namespace stowra {

// The units of one medium or of the remainder, in the order chosen (largest first) or in
// inventory order. The units are references into the one FileInventory.
struct UnitRecord {
    std::vector<FileItem*> units;
    std::uint32_t files = 0;  // plain files count 1, a group unit its member count
};

struct PackedMedium : UnitRecord {
    // Sectors of the units plus the profile's System; with a file system, the whole image's.
    std::uint32_t used = 0;
    float fill = 0.0f;  // used / Total
};

struct Remainder : UnitRecord {
    std::uint64_t sectors = 0;  // without System
};

using MediaList = std::vector<PackedMedium>;

struct PackResult {
    MediaList media;
    Remainder remainder;
    float lowerBound = 0.0f;  // slack bound of the fill ratio, 0 when the slack option is off
    FileSystem fileSystem = FileSystem::None;  // what the discs were packed for
    // The number (from 1) of the first disc that holds the rest and is not full, 0 for none.
    std::size_t firstPartial = 0;
    void Clear() {
        media.clear();
        media.shrink_to_fit();
        remainder = Remainder{};
        lowerBound = 0.0f;
        fileSystem = FileSystem::None;
        firstPartial = 0;
    }
};

// Expands a medium or the remainder into exactly `files` file references, each group unit
// replaced in place by its members.
void BuildFileList(const UnitRecord& record, std::vector<const FileItem*>& fileList);

// "%d Byte", "%.4f KiB", "%.4f MiB" or "%.4f GiB" of sectors × sectorSize bytes.
std::string SizeText(std::uint64_t sectors, std::uint32_t sectorSize);

// A fill ratio as shown everywhere: "%.4f %" of ratio × 100.
std::string PercentText(float ratio);

}  // namespace stowra
