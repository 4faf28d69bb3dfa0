#pragma once
// The image of one disc folder, made as it is read: ISO 9660 level 3 with Rock Ridge and Joliet
// through libisofs, with MD5 tags for the session and every file, or the ISO 9660/Joliet/UDF
// bridge from genisoimage. Either is exactly as long as the packing counted the disc.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/ImageSize.h"

namespace stowra::burning {

struct ImageRequest {
    std::string folder;  // the disc folder: its contents become the image's root
    FileSystem layout = FileSystem::Iso9660;
    std::string volumeId;  // empty: DefaultVolumeId(folder)
};

// One file of the image and what it was when the image was planned.
struct ImageFile {
    std::string path;  // relative to the folder, '/' between folders
    std::uint64_t bytes = 0;
    std::int64_t modified = 0;  // nanoseconds
};

class ImageStream {
public:
    virtual ~ImageStream() = default;
    // The image's exact length; a multiple of 2048.
    std::uint64_t Bytes() const { return bytes_; }
    // Up to `size` bytes (a multiple of 2048); 0 at the end, -1 on a failure (Error()).
    virtual long Read(unsigned char* buffer, std::size_t size) = 0;
    const std::vector<ImageFile>& Files() const { return files_; }
    const std::string& Folder() const { return folder_; }
    const std::string& VolumeId() const { return volumeId_; }
    // Why the last Read failed (translated).
    const std::string& Error() const { return error_; }
    // The files whose size or time changed since the image was planned (all read by now).
    std::vector<std::string> ChangedFiles() const;

protected:
    std::uint64_t bytes_ = 0;
    std::vector<ImageFile> files_;
    std::string folder_;
    std::string volumeId_;
    std::string error_;
};

// The volume ID for a disc folder: the move's stamp folder and disc number ("20240315_093012_2"
// for .../20240315-093012/2), otherwise the folder's name, in the characters ISO 9660 allows
// (A-Z, 0-9, '_'), at most 32 of them.
std::string DefaultVolumeId(const std::string& folder);
// A text made into such a volume ID.
std::string VolumeIdText(const std::string& text);

// The image of the folder, ready to be read; none, with the reason in `error` (translated).
// Its length is what the packing counts for the folder (WrittenImageSectors), to the sector.
std::unique_ptr<ImageStream> OpenImage(const ImageRequest& request, std::string& error);

}  // namespace stowra::burning
