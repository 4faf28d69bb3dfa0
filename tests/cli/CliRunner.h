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

// Runs the program with the arguments; `input` is fed to its standard input. `environment` sets
// variables ("NAME=value") or, as "NAME", removes them for the program.
CliResult RunCli(const std::vector<std::string>& args, const std::string& input = "",
                 const std::vector<std::string>& environment = {});

// A text of the program as JSON gives it back: UTF-8 (the Windows program's own texts are code
// page 932, so are the test's literals).
std::string Utf8(const std::string& native);

}  // namespace stowra::test
