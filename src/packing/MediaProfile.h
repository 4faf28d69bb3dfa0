#pragma once

#include <cstdint>
#include <string>

#include "image/ImageSize.h"

namespace stowra {

// One disc type. The media dialog compares the fields as signed numbers; the packing computes
// with them as unsigned numbers.
struct MediaProfile {
    std::int32_t Cluster = 2048;  // bytes per sector
    std::int32_t Total = 359850;  // capacity in sectors
    std::int32_t System = 256;    // sectors reserved for the disc's file system
    std::int32_t Slack = 3840;    // sectors that may stay empty (only with UseSlack)
    // The file system the discs are burned with. With one, each disc is packed so that its whole
    // image fits, and System is a safety margin on top of the computed structures; with None,
    // System is the whole reserve for the file system.
    FileSystem fileSystem = FileSystem::None;
    bool operator==(const MediaProfile&) const = default;
};

// Why a profile cannot be used for packing, or the empty text when it can. Such profiles only
// come from a hand-edited settings file or the command line; the media dialog refuses them.
std::string ProfileProblem(const MediaProfile& profile);

// The option bits held by the main window as one signed 32-bit value. Bits above 7 are carried
// unchanged between the settings file and the dialogs.
namespace OptionFlags {
inline constexpr std::int32_t ReadAtip = 0x01;
inline constexpr std::int32_t IncludeHidden = 0x02;
inline constexpr std::int32_t IncludeSystem = 0x04;
inline constexpr std::int32_t LeafFolderGrouping = 0x08;
inline constexpr std::int32_t WriteIndex = 0x10;
inline constexpr std::int32_t RemoveEmptied = 0x20;
inline constexpr std::int32_t UseSlack = 0x40;
inline constexpr std::int32_t SubfolderGrouping = 0x80;
// A checksum file (SHA-256, in the format of sha256sum) goes into each disc folder beside the
// index file, and onto the disc with it.
inline constexpr std::int32_t WriteChecksums = 0x100;
// The rest that fills no disc goes onto last discs of its own, however little they hold. Off, it
// stays behind for a later run.
inline constexpr std::int32_t LastDisc = 0x200;
}  // namespace OptionFlags

}  // namespace stowra
