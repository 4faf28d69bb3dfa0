#pragma once
// The image streams other than libisofs's own (ImageStream.cpp opens them).

#include <memory>
#include <string>

#include "burn/ImageStream.h"

namespace stowra::burning {

// The ISO 9660/Joliet/UDF bridge as genisoimage -r -J --joliet-long -udf writes it to a pipe,
// followed by zeros up to the length the packing counts.
std::unique_ptr<ImageStream> OpenBridgeImage(const ImageRequest& request, std::string& error);

}  // namespace stowra::burning
