#pragma once
// What the move recorded of a disc folder's files, checked before the disc is written: a file
// whose size is no longer the one the move's catalogue gives, or that its checksum file lists
// but the folder no longer holds, has changed since the files were packed, and a disc burned of
// it would not be the disc the checksum file describes.

#include <string>
#include <vector>

#include "burn/ImageStream.h"

namespace stowra::burning {

// The files of `folder` that are not as the move left them, as '/'-separated paths relative to
// the folder; empty when all agree, or when the folder holds no checksum or index file of a move
// (only sizes and presence are compared: reading every file again is the verify command's work).
std::vector<std::string> FilesChangedSinceMove(const std::string& folder,
                                               const std::vector<ImageFile>& files);

}  // namespace stowra::burning
