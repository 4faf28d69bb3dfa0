#pragma once
// Burning one disc image with libburn: the drive grabbed exclusively, the disc probed (blank,
// type, room) before anything is written, the image streamed through a FIFO with underrun
// protection and hashed on its way, then the drive released and grabbed again and exactly the
// image's length read back and hashed. The drive's own VERIFY is never trusted.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "burn/ImageCheck.h"
#include "burn/ImageStream.h"

namespace stowra::burning {

enum class WriteType { Auto, Tao, Sao };

struct BurnOptions {
    std::string device;  // /dev/sr0, or stdio:FILE for libburn's file pseudo-drive
    int speedKBs = 0;    // 0: the drive's fastest
    WriteType writeType = WriteType::Auto;
    bool simulate = false;
    bool verify = true;
    bool eject = false;
};

struct BurnProgress {
    std::uint64_t bytes = 0;  // written so far
    std::uint64_t total = 0;
    double megabytesPerSecond = 0;
    int bufferPercent = 0;  // the FIFO's fill
    int secondsLeft = -1;   // -1: not known yet
    bool verifying = false;
};

enum class BurnOutcome { Verified, Written, Simulated, Refused, Failed, Cancelled };

struct BurnResult {
    BurnOutcome outcome = BurnOutcome::Failed;
    std::string reason;                   // translated, for every outcome but Verified/Written/Simulated
    std::vector<std::string> notes;       // translated remarks (a write type that fell back, ...)
    std::vector<ImageFileCheck> damaged;  // files the read-back found damaged
    std::string profile;                  // the disc type as the drive names it
};

// Reports progress; returning false cancels the write (which ruins the disc).
using BurnProgressSink = std::function<bool(const BurnProgress&)>;
// Opens the image again from its start (a write type that falls back writes it anew).
using ImageOpener = std::function<std::unique_ptr<ImageStream>(std::string& error)>;

BurnResult BurnDisc(const ImageOpener& open, const BurnOptions& options, const BurnProgressSink& progress);

// Whether an image of `imageBytes` fits a disc with `availableBytes` of room.
inline bool FitsDisc(std::uint64_t imageBytes, std::uint64_t availableBytes) {
    return imageBytes <= availableBytes;
}

}  // namespace stowra::burning
