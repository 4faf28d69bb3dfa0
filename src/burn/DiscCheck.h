#pragma once
// Verifying a disc image file or the disc in a drive, as `stowra-cli verify --image` / `--device`
// and the window's verify entries do it: one check, with progress and a stop, and its outcome in
// the words both show.

#include <string>

#include "burn/ImageCheck.h"

namespace stowra::burning {

struct DiscCheckRequest {
    std::string image;   // a disc image file, or
    std::string device;  // a drive (stdio:FILE for libburn's file pseudo-drive)
    std::string folder;  // given: every file is also compared with the disc folder's
    // What the user chose, as the outcome names it.
    const std::string& What() const { return image.empty() ? device : image; }
};

ImageCheckReport CheckDisc(const DiscCheckRequest& request, const CheckProgress& progress = {});

// What a file's state says, translated ("OK" for Ok).
const char* ImageFileStateText(ImageFileState state);

enum class CheckVerdict { Verified, Unchecked, Failed };

struct CheckOutcome {
    CheckVerdict verdict = CheckVerdict::Failed;
    std::string line;  // translated, one line: the image or drive and what became of it
};

// Verified when every record matched; Unchecked for an image without MD5 records checked without a
// folder (nothing could be compared); otherwise Failed, naming the files that are not as they should
// be, or the reason.
CheckOutcome DiscCheckOutcome(const DiscCheckRequest& request, const ImageCheckReport& report);

}  // namespace stowra::burning
