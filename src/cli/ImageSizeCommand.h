#pragma once
// stowra-cli image-size: the sectors of the image each folder makes as a disc (its contents at
// the disc's root), so that disc folders made earlier can be checked before they are burnt.

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace stowra::cli {

struct ImageSizeOptions {
    std::vector<std::string> folders;
    std::string fileSystem = "iso9660";
    bool json = false;
};

void AddImageSizeOptions(CLI::App& command, ImageSizeOptions& options);

// Prints one line per folder ("SECTORS<TAB>FOLDER") or, with --json, one document: an array with
// each folder's figure, or {"folder", "error"} for a folder that cannot be measured (the error
// also goes to `err`). Symbolic links count as the image builders store them. Returns 0 only
// when every folder could be read.
int RunImageSizeCommand(const ImageSizeOptions& options, std::ostream& out, std::ostream& err);

}  // namespace stowra::cli
