#pragma once
// stowra-cli verify: a disc, or a disc folder, checked against the checksum files on it.

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

namespace stowra::cli {

struct VerifyOptions {
    std::string folder;
    std::string image;   // a disc image file, checked by its MD5 records (and against `folder`)
    std::string device;  // a drive whose disc is read back and checked the same way
    bool json = false;
};

void AddVerifyOptions(CLI::App& command, VerifyOptions& options);

// Prints each file that is not as it was written (changed, missing, unreadable, not listed) and a
// summary, or one JSON document. Exit code 0 when every file is as written, 1 when one is not, 2
// when there is nothing to check against.
int RunVerifyCommand(const VerifyOptions& options, std::ostream& out, std::ostream& err);

// The same for an image file or a drive's disc (VerifyImageCommand.cpp, where burning is built).
int RunVerifyImageCommand(const VerifyOptions& options, std::ostream& out, std::ostream& err);

}  // namespace stowra::cli
