#pragma once
// The move command: every file of every packed medium goes below the destination folder into
// <time stamp>/<medium number>/<its path relative to the source folder>, all in one batch move;
// then the optional index files are written and the emptied source folders removed.

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/FrontEnd.h"
#include "packing/ScanSession.h"
#include "platform/BatchMove.h"

namespace stowra {

// What the window hands over when the move button is clicked. The source is not among it: the move
// always works on the folder that the last scan walked (ScanState::sourceRoot), whatever the
// source field says by now, because the packing result only describes that folder.
struct MoveInput {
    std::string destinationFolder;  // the destination field's text as it stands now
    std::int32_t options = 0;       // OptionFlags; WriteIndex and RemoveEmptied are read
};

enum class MoveOutcome {
    NothingToMove,  // there was no packing result; nothing was asked or changed
    Refused,        // a folder check failed (its message was shown); nothing changed
    Declined,       // a confirmation was not answered with OK; nothing changed
    Cancelled,      // the user stopped the batch part-way or declined a replacement
    Failed,         // some files could not be moved
    Moved,          // every file was moved
};

struct MoveReport {
    MoveOutcome outcome = MoveOutcome::NothingToMove;
    std::string destinationRoot;             // set once the batch move has run
    std::vector<BatchMoveFailure> failures;  // the files the batch could not move
    std::vector<std::string> indexFailures;  // index files that could not be written
    // Discs (numbers from 1) whose folder, measured once everything is in it, no longer fits the
    // disc: files that grew between the scan and the move, say.
    std::vector<std::size_t> overfull;
    std::string catalogue;          // the catalogue of the set, once written
    bool checksumsStopped = false;  // the user stopped the checksums: some discs have no file
};

// Runs the command: checks, questions, the batch move, index, checksum and catalogue files, cleanup, the
// closing message, and ClearResults on every road that reached the batch move.
MoveReport MoveFiles(const MoveInput& input, ScanState& state, ScanWindow& window, ProgressSink& progress);

// The checks made before anything is asked.
enum class FolderCheck { Ok, DestinationMissing, SameFolder, DestinationInsideSource };
struct FolderVerdict {
    FolderCheck check = FolderCheck::Ok;
    bool otherFileSystem = false;  // the two folders lie on different file systems
};
// Compares the folders as they resolve on disk (links followed, "." and ".." folded, trailing
// delimiters ignored), by whole path components, and by the identity of the folders themselves
// (device and inode), so that a bind mount of the source cannot hide it.
FolderVerdict CheckFolders(const std::string& sourceRoot, const std::string& destinationFolder);

// The two lists handed to the batch move, NUL-separated and closed with one more NUL.
struct TransferLists {
    std::string sources;
    std::string destinations;
    std::uint64_t count = 0;
};
TransferLists BuildTransferLists(const ScanState& state, const std::string& destinationRoot);

// Removes the unfinished copies that moves which were killed left in the folders of earlier moves
// below the destination folder (folders named by a time stamp). A move does it first; a command
// that packed nothing to move does it as well.
void RemoveUnfinishedCopies(const std::string& destinationFolder);

// AddTrailingBackslash(destination folder) + scan time stamp + delimiter.
std::string DestinationRoot(const std::string& destinationFolder, const std::string& scanStamp);

}  // namespace stowra
