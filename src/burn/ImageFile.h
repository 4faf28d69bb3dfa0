#pragma once
// An image written to a file: under a temporary name first, renamed into place only when whole,
// so that a cancelled or failed write never leaves a short image under the name asked for.

#include <cstdint>
#include <functional>
#include <string>

#include "burn/ImageStream.h"

namespace stowra::burning {

// Called with the bytes written so far; returning false stops the write.
using ImageProgress = std::function<bool(std::uint64_t bytes)>;

// False, with the reason in `error` (translated), when the image could not be written whole or a
// file changed while it was read; the file named `path` is then left as it was.
bool WriteImageFile(ImageStream& image, const std::string& path, const ImageProgress& progress,
                    std::string& error);

}  // namespace stowra::burning
