#include "packing/WrittenImage.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <thread>

#include "image/ImageNames.h"
#include "platform/Text.h"

namespace stowra {

namespace {

constexpr std::uint64_t kSector = 2048;
constexpr std::uint64_t kRecordLimit = 254;    // a directory record never grows past this
constexpr std::uint64_t kRockRidgeFixed = 67;  // PX, TF and the NM header of an entry
constexpr std::uint64_t kFileFields = 26;      // two ES fields and the AL field of a file's MD5 index
constexpr std::uint64_t kFolderFields = 6;     // the ES field of every other record, even-rounded
constexpr std::uint64_t kContinuationField = 28;
constexpr std::uint64_t kLongestHeader = 66;  // 33 bytes and a 31-character name with ";1", padded

std::uint64_t Even(std::uint64_t n) {
    return n + (n & 1);
}
std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) {
    return (a + b - 1) / b;
}

// Records of one entry: files of 4 GiB and more have one per extent.
std::uint64_t Sections(const image::TreeNode& n) {
    constexpr std::uint64_t kSingle = 0xFFFFFFFFull;
    constexpr std::uint64_t kPart = 0x100000000ull - kSector;
    if (n.folder || n.bytes <= kSingle) {
        return 1;
    }
    return 1 + CeilDiv(n.bytes - kSingle, kPart);
}

// The shortest identifier xorriso can give the entry (renaming only lengthens names).
std::uint64_t ShortestIdentifier(const image::TreeNode& n) {
    std::u32string decoded;
    std::string name;
    if (image::AppendDecodedName(n.name, decoded)) {
        image::AppendLevel3Name(n.name, n.folder, name);
    } else {
        image::AppendLevel3Name(std::u32string_view(decoded), n.folder, name);
    }
    return name.size() + (n.folder ? 0 : 2);
}

std::uint64_t RecordBytes(std::uint64_t header, std::uint64_t systemUse) {
    return header + systemUse <= kRecordLimit ? header + Even(systemUse) : kRecordLimit;
}

// How many more sectors one folder's records can take once the fields are added: at most the
// sectors of a next-fit placement of the longer records (every sector but the last holds more
// than a sector less the longest record) less at least those of the records as xorriso makes them.
std::uint64_t FolderGrowth(const image::ImageTree& tree, std::uint32_t folder) {
    const bool root = folder == image::ImageTree::kRoot;
    std::uint64_t before = root ? 228 : 192;
    std::uint64_t after = root ? 2 * kRecordLimit : 192 + 2 * kFolderFields;
    std::uint64_t longest = 102 + kFolderFields;
    std::uint64_t continued = 0;
    std::uint64_t longestContinued = 0;
    for (std::uint32_t child : tree.Children(folder)) {
        const image::TreeNode& n = tree.Nodes()[child];
        const std::uint64_t sections = Sections(n);
        const std::uint64_t systemUse = kRockRidgeFixed + n.name.size() + n.symlink;
        const std::uint64_t added = n.folder ? kFolderFields : kFileFields;
        const std::uint64_t header = Even(33 + ShortestIdentifier(n));
        before += sections * RecordBytes(header, systemUse);
        const std::uint64_t record = RecordBytes(kLongestHeader, systemUse + added);
        after += sections * record;
        longest = std::max(longest, record);
        if (kLongestHeader + systemUse + added > kRecordLimit) {
            // What does not fit goes to the folder's continuation area, behind a CE field.
            const std::uint64_t part = n.name.size() + n.symlink + added + kContinuationField;
            continued += sections * part;
            longestContinued = std::max(longestContinued, part);
        }
    }
    std::uint64_t grown = after / (kSector - longest) + 1;
    if (continued > 0) {
        grown += continued / (kSector - longestContinued - kContinuationField) + 1;
    }
    if (root) {
        grown += 1;  // the AAIP extension reference and the checksum array's address
    }
    const std::uint64_t was = CeilDiv(before, kSector);
    return grown > was ? grown - was : 0;
}

}  // namespace

std::uint64_t ChecksumRecordSectors(std::span<const ImageEntry> entries) {
    return ChecksumRecordSectors(image::ImageTree(entries));
}

std::uint64_t ChecksumRecordSectors(const image::ImageTree& tree) {
    std::uint64_t files = 0;
    std::uint64_t sectors = 3;  // the superblock, tree and session tags
    for (std::uint32_t i = 0; i < tree.Nodes().size(); ++i) {
        if (tree.Nodes()[i].folder) {
            sectors += FolderGrowth(tree, i);
        } else {
            ++files;
        }
    }
    // One MD5 per file, one for the session and one spare.
    return sectors + CeilDiv(16 * (files + 2), kSector);
}

std::uint64_t WrittenImageSectors(FileSystem layout, const image::BuilderSectors& each,
                                  std::uint64_t checksumRecords) {
    if (layout == FileSystem::Udf) {
        return each.udf;
    }
    const std::uint64_t builders = std::max(each.xorriso, each.genisoimage);
    const std::uint64_t own =
        std::max(each.xorriso, kBuilderTailSectors) - kBuilderTailSectors + checksumRecords;
    return std::max(builders, own);
}

std::uint64_t WrittenImageSectors(FileSystem layout, std::span<const ImageEntry> entries) {
    if (layout != FileSystem::Iso9660) {
        return ImageSectors(layout, entries);
    }
    // One count of the builders' layouts gives the figure ImageSectors gives for ISO 9660.
    if constexpr (kNativeCodepage == Codepage::Utf8) {
        // The names are the builders' own already: one tree serves both counts.
        const image::ImageTree tree(entries);
        // The records' count beside the layouts' on a large disc: the layouts keep both cores
        // busy only while their halves run.
        std::uint64_t records = 0;
        std::thread beside;
        if (tree.Nodes().size() >= 4096) {
            try {
                beside = std::thread([&] { records = ChecksumRecordSectors(tree); });
            } catch (const std::system_error&) {
            }
        }
        const image::BuilderSectors each = image::EachBuilderSectors(tree);
        if (beside.joinable()) {
            beside.join();
        } else {
            records = ChecksumRecordSectors(tree);
        }
        return WrittenImageSectors(layout, each, records);
    } else {
        const image::BuilderSectors each = image::EachBuilderSectors(entries);
        return WrittenImageSectors(layout, each, ChecksumRecordSectors(entries));
    }
}

}  // namespace stowra
