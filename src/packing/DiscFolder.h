#pragma once
// A folder on disk measured as the image of one disc (its contents at the disc's root): for
// checking disc folders before they are burnt, and the move's disc folders once they are made.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/ImageSize.h"

namespace stowra {

// The image's 2048-byte sectors in sectors of `sectorSize` bytes, rounded up (the image is a run
// of bytes, whatever the medium's sector size).
std::uint64_t ToProfileSectors(std::uint64_t imageSectors, std::uint32_t sectorSize);

// Bytes a symbolic link to `target` adds to its Rock Ridge entry (the SL field, split where the
// field's size forces it), beyond what an empty file of the same name costs.
std::uint32_t SymlinkRecordBytes(std::string_view target);

// The entries a folder puts on a disc: every file and folder below it, hidden ones included, and
// every symbolic link, which the image builders store as a link (never followed). Entries that
// are neither are left out. Paths are relative to the folder. At most a few folders are open at
// any time, whatever the tree's width or depth. Returns false, with the reason in `error`
// (translated), when the folder or something below it cannot be read.
bool CollectDiscEntries(const std::string& folder, std::vector<std::string>& paths,
                        std::vector<ImageEntry>& entries, std::string& error);

// The sectors of `sectorSize` bytes the image of the folder takes with the layout (None: its
// files' sectors, as the packing counts them); none, with the reason in `error`, when the folder
// cannot be read whole.
std::optional<std::uint64_t> DiscFolderSectors(const std::string& folder, FileSystem layout,
                                               std::int32_t sectorSize, std::string& error);

}  // namespace stowra
