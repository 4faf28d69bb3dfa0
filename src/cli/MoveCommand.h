#pragma once
// stowra-cli move: scans and packs like `scan`, prints the report, asks on the terminal, moves the
// packed files below the destination folder and prints the outcome.

#include <CLI/CLI.hpp>
#include <string>

#include "cli/ScanCommand.h"

namespace stowra::cli {

struct MoveOptions {
    ScanOptions scan;
    std::string destination;
    bool index = false;        // write the per-medium index files
    bool checksums = false;    // write the per-medium checksum files
    bool removeEmpty = false;  // remove the source folders the move emptied
    bool yes = false;          // answer the two confirmations with OK
};

void AddMoveOptions(CLI::App& command, MoveOptions& options);

// Exit code 0 only when every file was moved.
int RunMoveCommand(const MoveOptions& options);

}  // namespace stowra::cli
