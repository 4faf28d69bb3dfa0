#pragma once
// Checks a disc image, in a file or on a disc, by its own MD5 records: the session's checksum
// over every block, and each file's, so that a damaged block is named by the file it hurts.
// Given the disc folder, every file is also compared with the folder's, byte for byte.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace stowra::burning {

enum class ImageFileState { Ok, Damaged, Differs, Missing, Unlisted };

struct ImageFileCheck {
    std::string path;  // relative to the image's root, '/' between folders
    ImageFileState state;
};

struct ImageCheckReport {
    bool checksums = false;  // the image carries MD5 records
    bool sessionOk = true;   // its session checksum matched (true when it has none)
    std::uint64_t filesChecked = 0;
    std::vector<ImageFileCheck> problems;  // only the files that are not as they should be
    std::string error;                     // why the image could not be read (translated)
    bool stopped = false;                  // the progress call stopped it: the rest is not known
    bool AllOk() const { return error.empty() && !stopped && sessionOk && problems.empty(); }
};

// Reads one 2048-byte block at the block address; false when it cannot be read.
using BlockReader = std::function<bool(std::uint32_t block, unsigned char* data)>;
// Told the blocks read so far and about how many the check reads in all (the image's length, twice
// that when files are compared with a folder); returning false stops the check.
using CheckProgress = std::function<bool(std::uint64_t blocks, std::uint64_t total)>;

// `folder` empty: the image's own records only.
ImageCheckReport CheckImage(const BlockReader& read, const std::string& folder,
                            const CheckProgress& progress = {});
ImageCheckReport CheckImageFile(const std::string& path, const std::string& folder,
                                const CheckProgress& progress = {});

}  // namespace stowra::burning
