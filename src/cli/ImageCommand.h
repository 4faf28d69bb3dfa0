#pragma once
// stowra-cli image: the disc image of one disc folder, written to a file.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <ostream>
#include <string>

namespace stowra::cli {

struct ImageOptions {
    std::string folder;
    std::string output;
    std::string fileSystem = "iso9660";
    std::string volumeId;
    std::int64_t total = 0;  // sectors of the disc the image must fit on; 0: no limit
    std::int32_t cluster = 2048;
    bool json = false;
};

void AddImageOptions(CLI::App& command, ImageOptions& options);

// Exit code 0 when the image was written whole, 1 when it was not (nothing is left under the
// output's name), 2 when the folder does not fit the disc.
int RunImageCommand(const ImageOptions& options, std::ostream& out, std::ostream& err);

}  // namespace stowra::cli
