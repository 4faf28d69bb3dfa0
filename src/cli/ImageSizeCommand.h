#pragma once
// stowra-cli image-size: the sectors of the image each folder makes as a disc (its contents at
// the disc's root), so that disc folders made earlier can be checked before they are burnt.

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "packing/ImageSize.h"

namespace stowra::cli {

struct ImageSizeOptions {
    std::vector<std::string> folders;
    std::string fileSystem = "iso9660";
    bool json = false;
};

void AddImageSizeOptions(CLI::App& command, ImageSizeOptions& options);

// The entries a folder puts on a disc: every file and folder below it, hidden ones included.
// Symbolic links are left out, as the scan leaves them out, and so are entries that are neither
// files nor folders. Paths are relative to the folder. Returns false, with the reason in `error`,
// when the folder or a folder below it cannot be read.
bool CollectDiscEntries(const std::string& folder, std::vector<std::string>& paths,
                        std::vector<ImageEntry>& entries, std::string& error);

// Prints one line per folder ("SECTORS<TAB>FOLDER") or, with --json, one document. Returns 0
// only when every folder could be read.
int RunImageSizeCommand(const ImageSizeOptions& options, std::ostream& out, std::ostream& err);

}  // namespace stowra::cli
