#pragma once
// The batch move: many files, each to its own destination path, in one call with one progress
// display and one Cancel for the whole batch. The Win32 version hands the two lists to the shell
// (FO_MOVE with FOF_MULTIDESTFILES | FOF_NOCONFIRMMKDIR); this interface keeps that contract.
//
// Each list is one byte string: every path followed by a NUL byte, and one more NUL byte after
// the last path (a list without paths is a single NUL byte). Entry k of the source list moves to
// entry k of the destination list.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/FrontEnd.h"

namespace stowra {

struct BatchMoveFailure {
    std::string source;
    std::string destination;
    std::string reason;  // the operating system's words for what went wrong
};

struct BatchMoveResult {
    // Some transfer did not happen because of an error (or the lists were malformed, and then
    // nothing was moved at all).
    bool failed = false;
    // The user stopped the operation, or declined to replace an existing file: part of the batch
    // was left undone on purpose.
    bool cancelled = false;
    std::uint64_t moved = 0;
    std::vector<BatchMoveFailure> failures;
};

// Moves every source path to its destination path.
// - Missing destination folders are created without asking.
// - An existing destination file is never replaced silently: the prompter is asked (buttons
//   YesAllNoCancel: Yes replaces, YesToAll replaces this and every later one, No leaves the file
//   in the source and marks the batch cancelled, Cancel or any other answer stops the batch).
// - Within one file system a file moves by rename. Across file systems it is copied to a
//   temporary name (starting with kBatchMoveTempPrefix) in its destination folder, flushed to
//   disk, given the source's modification time and permission bits, renamed into place, and only
//   then is the source removed: at every instant the file exists whole under a final name. A
//   source that changed while it was copied (size, times, or another file under its name) is not
//   moved: the copy goes, the source stays, and the file is reported as changed. A source that
//   another process moved away meanwhile is reported so, and its copy goes too, so that no file
//   ends up in two places.
// - A transfer that fails leaves its source where it was and the batch goes on.
// - The progress sink hears of every file, and of the bytes of the files that are copied to another
//   file system (a rename takes the same time whatever the size, so those count as files only);
//   returning false stops the batch. Nothing that was already moved is moved back.
// - `ownFolder`, when given, is a folder that the caller has just created for this batch (see
//   CreateNewFolder). Destinations below it are reached only through folders made or found below
//   it, never through a symbolic link (or, on Windows, a junction): a link planted in a destination
//   that other users can write leads the move nowhere.
// - `tap`, when given, hears the bytes of every file copied to another file system as they are
//   copied, so that they can be hashed without reading the file a second time.
class CopyTap;
BatchMoveResult BatchMove(std::string_view sources, std::string_view destinations, Prompter& prompter,
                          ProgressSink& progress, std::string_view ownFolder = {}, CopyTap* tap = nullptr);

// Entry k is entry k of the lists. Files that are renamed are not heard of: their bytes never pass.
class CopyTap {
public:
    virtual ~CopyTap() = default;
    // A copy of entry k begins; whatever was heard of it before is void.
    virtual void Begin(std::size_t k) = 0;
    // The first `size` bytes of `buffer` are the file's at `offset`, in rising offsets; a range
    // passed over is a hole, all zeros. The tap may keep the buffer, leaving another in its place
    // (of any size: the copy makes it as large as it needs).
    virtual void Data(std::uint64_t offset, std::vector<char>& buffer, std::size_t size) = 0;
    // The copy of entry k heard since Begin is in place under its final name, `size` bytes long.
    virtual void Placed(std::size_t k, std::uint64_t size) = 0;
};

// Names of unfinished copies start with this, then the copying process's id, "-" and a number.
// The copying process holds its copy open and locked until the copy has its final name: a copy
// that nobody holds was left by a process that was killed, whatever its id was.
inline constexpr std::string_view kBatchMoveTempPrefix = ".stowra-tmp-";
bool IsCopyName(std::string_view name);

// Removes the copies that no running move holds, in the folder and in every folder below it
// (links are not followed); returns how many.
std::uint64_t RemoveStaleCopies(const std::string& folder);

// The reasons given for files that were left in place on purpose.
inline constexpr char kChangedDuringMove[] = "移動中に変更されたため、移動しませんでした";
inline constexpr char kMovedByOther[] = "移動中に他の処理によって移動されました";

// The question asked before an existing file is replaced.
inline constexpr char kReplaceCaption[] = "ファイルの置き換えの確認";
std::string ReplaceQuestion(std::string_view destination);

}  // namespace stowra
