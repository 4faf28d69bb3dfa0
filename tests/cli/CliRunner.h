#pragma once
// Runs stowra-cli as a child process and collects what it printed.

#include <string>
#include <vector>

namespace stowra::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the program with the arguments; `input` is fed to its standard input.
CliResult RunCli(const std::vector<std::string>& args, const std::string& input = "");

}  // namespace stowra::test
