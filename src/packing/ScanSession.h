#pragma once
// The state of the scan and its result, as the main window (or the command line, or a test) owns
// it, and what the scan needs from the window that runs it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frontend/FrontEnd.h"
#include "packing/FileInventory.h"
#include "packing/MediaProfile.h"
#include "packing/PackResult.h"
#include "platform/BatchMove.h"

namespace stowra {

struct ScanInput {
    std::string sourceFolder;  // as typed into the source field
    std::int32_t options = 1;  // OptionFlags
    std::int32_t minSize = 0;  // bytes; compared as unsigned
    MediaProfile profile;
    // Threads that list folders for the walk (1: the walk lists each folder itself); 0: as many
    // as the machine has cores.
    int threads = 0;
};

class ScanState {
public:
    FileInventory inventory;
    PackResult result;
    std::string scanStamp;   // "yyyymmdd-hhnnss" of the last packing run; survives Clear()
    std::string sourceRoot;  // the folder the last scan walked, with its trailing delimiter
    MediaProfile profile;    // the profile the last scan used
    // The options the result was packed with (index files counted on each disc or not, and the
    // rest): what the move must go by, whatever the options are by the time it runs.
    std::int32_t packedOptions = 1;
    std::vector<const FileItem*> fileList;
    bool cancelled = false;  // the last scan was stopped while it collected the files

    bool HasResult() const { return !result.media.empty(); }
    // Discards the inventory and the packing result.
    void Clear();
};

// What the scan and the move need from the window that runs them.
class ScanWindow {
public:
    virtual ~ScanWindow() = default;
    virtual LogPane& Log() = 0;
    virtual Prompter& Messages() = 0;
    // Discards the inventory and the result and empties the tree, the list and the log pane.
    virtual void ClearResults() = 0;
    // A result with at least one medium is ready: build the disc tree and select its root.
    virtual void ShowResult() {}
    virtual void SetMoveEnabled(bool /*enabled*/) {}
    // A move ended with files it could not move: each with its reason, before the message that
    // says so. The command line prints its own list and needs nothing here.
    virtual void ShowMoveFailures(const std::vector<BatchMoveFailure>& /*failures*/) {}
    // Asked now and then while the files are collected: true stops the scan (Escape in the
    // window, Ctrl-C on the command line). It is also the moment to keep the window alive.
    virtual bool ScanCancelled() { return false; }
    // What the walk has found so far, told just before each ScanCancelled (`text` says it in a
    // line of the program's own), and once more with `done` when the walk has ended, so that a
    // front end can take its progress display away.
    virtual void ScanProgress(const std::string& /*text*/, bool /*done*/) {}
};

inline constexpr char kScanCancelledLine[] = "ファイル情報の収集を中止しました\n";

// The scan command: checks the folder and the profile, collects the files and packs them.
// Returns false when it refused to run (nothing was changed then).
bool RunScan(const ScanInput& input, ScanState& state, ScanWindow& window);

// Walks `folder` (ending in the delimiter) and everything below it into the inventory. Returns
// false when `cancelled` said so; the inventory then holds part of the tree.
bool CollectFiles(const std::string& folder, const ScanInput& input, FileInventory& inventory,
                  const std::function<bool()>& cancelled = {});

// The packing run and its report, on the inventory of the last scan.
void PackMedia(const ScanInput& input, ScanState& state, ScanWindow& window);

// The slack bound of the fill ratio for a profile, 0 when it removes nothing.
float SlackLowerBound(const MediaProfile& profile);

}  // namespace stowra
