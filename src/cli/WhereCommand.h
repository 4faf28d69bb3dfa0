#pragma once
// stowra-cli where: which disc of which set holds a file, from the catalogues the moves wrote.

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace stowra::cli {

struct WhereOptions {
    std::string pattern;
    std::vector<std::string> catalogues;  // none: every catalogue below the settings' destination
    std::string settingsFile;
    bool json = false;
};

void AddWhereOptions(CLI::App& command, WhereOptions& options);

// Prints set, disc number and path of each file that matches, or one JSON document. Exit code 0
// when a file matched, 1 when none did, 2 when there was no catalogue to read.
int RunWhereCommand(const WhereOptions& options, std::ostream& out, std::ostream& err);

}  // namespace stowra::cli
