#pragma once
// The image Stowra itself writes of a disc, counted as the packing counts discs: the builders'
// layout (ImageSize.h) plus what the writer adds to it, so that a disc that was packed is a disc
// that can be written, to the sector.

#include <cstdint>
#include <span>

#include "image/ImageSize.h"
#include "image/ImageTree.h"

namespace stowra {

// Sectors the writer's MD5 records can add to xorriso's layout of these entries at most: the
// checksum tags of the superblock, the tree and the session, the checksum array (16 bytes per
// file), and the AAIP fields that name each file's checksum in its Rock Ridge entry, which make
// directory records longer and so can push records into further sectors.
std::uint64_t ChecksumRecordSectors(std::span<const ImageEntry> entries);
std::uint64_t ChecksumRecordSectors(const image::ImageTree& tree);

// The sectors of the image the writer makes of these entries with the layout, padding included:
// never below the builders' figure (ImageSectors), so every disc packed to that figure stays
// packed, and never below what the writer's own records need. The writer pads its image to
// exactly this figure. None: the files' sectors, as ImageSectors counts them.
std::uint64_t WrittenImageSectors(FileSystem layout, std::span<const ImageEntry> entries);

// The same from figures already counted (each builder's, and ChecksumRecordSectors).
std::uint64_t WrittenImageSectors(FileSystem layout, const image::BuilderSectors& each,
                                  std::uint64_t checksumRecords);

// Sectors of padding xorriso's layout ends in, which the writer's image fills with its own
// records and zeros instead.
inline constexpr std::uint64_t kBuilderTailSectors = 150;

}  // namespace stowra
