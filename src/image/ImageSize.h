#pragma once
// How many 2048-byte sectors the image of a disc takes once a file system is laid on it, counted
// from the disc's paths and sizes alone, as the common image builders lay it out.

#include <cstdint>
#include <span>
#include <string_view>

namespace stowra {

enum class FileSystem : std::int32_t { None = 0, Iso9660 = 1, Udf = 2 };

// One entry of a disc: a file (bytes = its size), with folder = true a folder that must exist
// even when empty, or with symlink > 0 a symbolic link (bytes 0), stored as a link: `symlink` is
// what its link record adds to its Rock Ridge entry (SymlinkRecordBytes). Paths are relative to the disc
// root, components separated by '/', bytes in the platform encoding (UTF-8 on Linux; may be invalid UTF-8).
// Folders implied by file paths need no entry of their own.
struct ImageEntry {
    std::string_view path;
    std::uint64_t bytes = 0;
    bool folder = false;
    std::uint32_t symlink = 0;
};

// 2048-byte sectors of the image the layout's builders would make of these entries
// (Iso9660: max of xorriso -as mkisofs -iso-level 3 -r -J --joliet-long and
// genisoimage -r -J --joliet-long, default padding included; Udf: genisoimage -r -J
// --joliet-long -udf). None returns the file data sectors only (sum of ceil(bytes/2048)).
// Never below what the builders make; where the order of a folder's listing decides, the
// larger figure is taken.
std::uint64_t ImageSectors(FileSystem layout, std::span<const ImageEntry> entries);

// Parses/prints "none", "iso9660", "udf" (for the CLI and JSON). Returns false on unknown text.
bool ParseFileSystem(std::string_view text, FileSystem& out);
const char* FileSystemName(FileSystem fs);

}  // namespace stowra
