#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "cli/CliWindow.h"

namespace stowra::cli {

// Options shared by every command that scans.
struct ScanOptions {
    std::string source;
    MediaProfile profile;  // the built-in "CD-R 700MiB" unless told otherwise
    std::int64_t minSize = 0;
    bool hidden = false;
    bool systemFiles = false;
    std::string group = "none";
    std::string fileSystem = "none";  // --file-system: none, iso9660 or udf
    bool useSlack = false;
    bool lastDisc = false;
    bool json = false;
    int threads = 0;              // --threads: folder walk threads, 0 for one per core
    std::string settingsFile;     // --settings; empty: the program's own settings file
    std::string profileName;      // --profile; empty: the numbers of `profile` above
    std::set<std::string> given;  // long names of the value options given on the command line
};

void AddScanOptions(CLI::App& command, ScanOptions& options);
// With --profile, the named profile of the settings file and the settings' options and minimum
// size, overridden by what the command line gives; throws when there is no such profile.
ScanInput MakeScanInput(const ScanOptions& options);

// Throws unless the settings file is a regular file or missing (the built-in profiles): reading a
// pipe or a device would wait for a writer that never comes, and a folder holds no settings.
void RequireSettingsFile(const std::string& path);

class JsonWriter;
// The result of a scan as the keys of one JSON object (which the caller opens and closes).
void WriteScanJson(const CliWindow& window, JsonWriter& json);

// Exit code of a command stopped part-way (Ctrl-C, or a replacement declined during a move).
inline constexpr int kExitCancelled = 3;
// The result of a scan as plain text: the log pane's lines, then every medium and the remainder.
void PrintScanText(const CliWindow& window, std::FILE* out);
// Prints a JSON document as UTF-8; bytes that are not UTF-8 become U+FFFD.
void PrintJson(const nlohmann::json& doc, std::FILE* out);

int RunScanCommand(const ScanOptions& options);

}  // namespace stowra::cli
