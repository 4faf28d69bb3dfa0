#pragma once
// The image a packed disc will make once a file system is laid on it: its files at their paths
// relative to the source folder, and its index file when the move writes one.

#include <cstdint>
#include <string>
#include <vector>

#include "image/ImageSize.h"
#include "packing/FileInventory.h"

namespace stowra {

// The file system's name as the report shows it.
const char* FileSystemCaption(FileSystem fs);

// The index file's name inside disc folder `medium`: "_index_" + stamp + "-" + N + ".txt".
std::string IndexLeafName(const std::string& scanStamp, std::size_t medium);

// The checksum file's name inside disc folder `medium`: "_sha256_" + stamp + "-" + N + ".txt".
std::string ChecksumLeafName(const std::string& scanStamp, std::size_t medium);

// One line of the checksum file as GNU sha256sum writes it: the digest, two blanks, the path
// relative to the disc folder with "/" between folders, a line feed. A path holding a backslash
// or a line feed has them escaped ("\\", "\n") and the line starts with a backslash, which is
// how sha256sum -c reads such names back; every other byte is written as it is, so names that
// are not valid text are found as they are on the disc.
std::string ChecksumLine(std::string_view hexDigest, std::string_view path);
// Its length, without making it.
std::uint64_t ChecksumLineSize(std::string_view path);

// What goes onto each disc besides its files.
struct DiscContents {
    std::uint32_t cluster = 2048;  // bytes per sector of the profile the units were counted in
    bool withIndex = false;        // the move writes an index file into each disc folder
    std::string scanStamp;         // for the index and checksum files' names
    bool withChecksums = false;    // the move writes a checksum file into each disc folder
};

// Sectors of the image of a disc holding these units (group units stand for their members).
// The files' sizes are taken as their whole sectors, an upper bound of their bytes, so the figure
// is never below what the builders make of the real files.
std::uint64_t DiscImageSectors(FileSystem layout, const std::vector<FileItem*>& units,
                               const DiscContents& contents, std::size_t medium);

// The image of every disc of a list, computed on several threads (0: one per core): the discs
// are independent of each other. Entry i is disc i + 1's.
std::vector<std::uint64_t> DiscImagesSectors(FileSystem layout,
                                             const std::vector<const std::vector<FileItem*>*>& discs,
                                             const DiscContents& contents, unsigned threads = 0);

// Both layouts' images of every disc of a list, in one count of each disc (2048-byte sectors).
struct DiscLayouts {
    std::uint64_t iso9660 = 0;
    std::uint64_t udf = 0;
};
std::vector<DiscLayouts> DiscImagesBothLayouts(const std::vector<const std::vector<FileItem*>*>& discs,
                                               const DiscContents& contents, unsigned threads = 0);

}  // namespace stowra
