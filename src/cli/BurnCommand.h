#pragma once
// stowra-cli burn: each disc folder burned onto a blank disc in turn, then read back and checked.

#include <CLI/CLI.hpp>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace stowra::cli {

struct BurnCommandOptions {
    std::vector<std::string> folders;
    std::string device = "/dev/sr0";
    int speed = 0;
    std::string writeType = "auto";
    std::string fileSystem = "iso9660";
    bool simulate = false;
    bool noVerify = false;
    bool eject = false;
    bool yes = false;
    bool json = false;
};

void AddBurnOptions(CLI::App& command, BurnCommandOptions& options);

// Exit code 0 when every disc was written (and verified), 1 when one failed or was refused, 3 when
// the user stopped it.
int RunBurnCommand(const BurnCommandOptions& options, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace stowra::cli
