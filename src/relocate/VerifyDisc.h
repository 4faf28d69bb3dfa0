#pragma once
// Checks a disc, or a disc folder, against the checksum files the move wrote into it: years later,
// on any machine, that every file still reads as it was written.

#include <string>
#include <vector>

#include "frontend/FrontEnd.h"

namespace stowra {

enum class VerifyState { Ok, Changed, Missing, Unreadable, Unlisted };

struct VerifyEntry {
    std::string path;  // relative to the folder, with the system's delimiter
    VerifyState state;
};

struct VerifyReport {
    std::vector<std::string> checksumFiles;  // the files read, by name
    std::vector<VerifyEntry> entries;        // every listed file, then the files no list names
    std::string error;                       // why nothing could be checked (translated), or empty
    bool stopped = false;                    // the user stopped it: the entries are those checked
    bool AllOk() const;
};

// Reads every "_sha256_*.txt" at the top of `folder` and checks each file it lists; files that
// no list names are reported too, the index and checksum files themselves excepted. `progress`,
// when given, hears of the files and bytes read (as checksums) and can stop the check.
VerifyReport VerifyDisc(const std::string& folder, ProgressSink* progress = nullptr);

// What a state says, translated ("OK" for Ok).
const char* VerifyStateText(VerifyState state);
// One line counting the files checked and each state.
std::string VerifySummary(const VerifyReport& report);

// The check in the window's log: the folder, each file that is not as written in red, and the
// summary (blue when all is well, red when not); an error or a stop in red.
void LogVerifyReport(const std::string& folder, const VerifyReport& report, LogPane& log);

}  // namespace stowra
