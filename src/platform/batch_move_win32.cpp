// The batch move on Windows, on MoveFileEx and a copy of its own. The shell's FO_MOVE would show its own
// progress window and questions, which the front ends cannot answer or test; this keeps the same
// contract (one call, folders made silently, progress with Cancel, a question before replacing)
// with the same safety as on Linux: across volumes a file is copied to a temporary name, flushed,
// renamed into place, and only then is its source deleted.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/BatchMove.h"
#include "platform/Folder.h"
#include "platform/PathInfo.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/Translation.h"
#include "platform/batch_move_common.h"
#include "platform/folder_win32.h"

#ifndef ERROR_DIRECTORY_NOT_SUPPORTED
#define ERROR_DIRECTORY_NOT_SUPPORTED 336L  // "An operation is not supported on a directory"
#endif

namespace stowra {

namespace {

// The system's own words for an error, in the ANSI code page like every other text here.
std::string SystemMessage(DWORD error) {
    char* text = nullptr;
    DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n != 0 && text != nullptr ? std::string(text, n) : Format("error %lu", error);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesA(path.c_str());
}

bool IsFolder(const std::string& path) {
    DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Removes the copy when no running move holds it. A move keeps its copy open without sharing from
// the moment it creates it until the data are on the disk, so a copy that can be deleted was left
// by a process that was killed (or one that is about to rename it, which then fails that file and
// leaves its source where it was), whatever its process id was: ids repeat (under wine the first
// process of every session has the same one).
bool RemoveIfStale(const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileA(path.c_str()) != 0;
}

// Removes the stale copies directly in the folder; collects its subfolders.
std::uint64_t RemoveStaleCopiesIn(const std::string& folder, std::vector<std::string>* subfolders) {
    std::string root = AddTrailingBackslash(folder);
    WIN32_FIND_DATAA found{};
    HANDLE find = ::FindFirstFileA((root + "*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    std::uint64_t removed = 0;
    do {
        std::string_view name = found.cFileName;
        bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name == "." || name == "..") {
            continue;
        }
        if (isFolder) {
            if (subfolders != nullptr && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                subfolders->push_back(root + found.cFileName);
            }
        } else if (IsCopyName(name) && RemoveIfStale(root + found.cFileName)) {
            ++removed;
        }
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
    return removed;
}

struct Transfer {
    const char* source;  // NUL-terminated inside the caller's list
    const char* destination;
    std::uint64_t size = 0;  // bytes, as found before the batch started
    bool across = false;     // source and destination lie on different volumes
};

class Mover : MoverBase {
public:
    Mover(Prompter& prompter, ProgressSink& progress, std::string_view ownFolder, CopyTap* tap)
        : MoverBase(prompter, progress, tap), own_(ownFolder) {}
    BatchMoveResult Run(std::vector<Transfer>& transfers);

private:
    Flow MoveOne(Transfer& t);
    bool DestinationFolder(const std::string& folder);
    Flow CopyAcross(Transfer& t, bool replaceApproved);
    Flow Place(const Transfer& t, const std::string& temp, bool replaceApproved);
    void Fail(const Transfer& t, DWORD error);
    DWORD CopyData(const char* source, const std::string& temp);

    bool LinkBelowOwn(const std::string& folder) const;

    std::string own_;  // the folder the caller made for this batch; empty: none
    bool copyCancelled_ = false;
    std::uint64_t copiedBytes_ = 0;          // of the last copy
    std::string lastFolder_;                 // the destination folder known to exist
    std::unordered_set<std::string> swept_;  // destination folders already cleared of stale copies
    std::uint64_t tempCounter_ = 0;
};

BatchMoveResult Mover::Run(std::vector<Transfer>& transfers) {
    return RunAll(
        transfers.size(), [&](std::size_t i) { return transfers[i].size; },
        [&](std::size_t i) { return MoveOne(transfers[i]); });
}

void Mover::Fail(const Transfer& t, DWORD error) {
    MoverBase::Fail(t.source, t.destination, SystemMessage(error));
}

// Whether a folder between the caller's own folder and this one is a junction or a link, which a
// move must not write through.
bool Mover::LinkBelowOwn(const std::string& folder) const {
    if (own_.empty() || folder.size() <= own_.size() || folder.compare(0, own_.size(), own_) != 0 ||
        folder[own_.size()] != '\\') {
        return false;
    }
    for (std::string up = folder; up.size() > own_.size(); up = FolderOf(up.c_str())) {
        DWORD a = Attributes(up);
        if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return true;
        }
    }
    return false;
}

bool Mover::DestinationFolder(const std::string& folder) {
    if (folder == lastFolder_) {
        return true;
    }
    if (!own_.empty() && folder.compare(0, own_.size(), own_) == 0) {
        // Made by this batch below a folder made for it: no stale copies to look for.
        if (!MakeFolders(folder)) {
            return false;
        }
        if (LinkBelowOwn(folder)) {
            ::SetLastError(ERROR_CANT_ACCESS_FILE);
            return false;
        }
        lastFolder_ = folder;
        return true;
    }
    if (!IsFolder(folder)) {
        if (!MakeFolders(folder)) {
            return false;
        }
        swept_.insert(folder);  // new: nothing left over in it
    } else if (swept_.insert(folder).second) {
        // Unfinished copies of a process that was killed would otherwise be burned with the disc.
        RemoveStaleCopiesIn(folder, nullptr);
    }
    lastFolder_ = folder;
    return true;
}

Flow Mover::MoveOne(Transfer& t) {
    DWORD a = Attributes(t.source);
    if (a == INVALID_FILE_ATTRIBUTES) {
        Fail(t, ::GetLastError());
        return Flow::Go;
    }
    if ((a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        Fail(t, ERROR_DIRECTORY_NOT_SUPPORTED);  // a file that became a folder since the scan
        return Flow::Go;
    }
    if (!DestinationFolder(FolderOf(t.destination))) {
        Fail(t, ::GetLastError());
        return Flow::Go;
    }
    if (t.across) {
        // Not left to the system: a copy must be on the disk before its source goes, and some
        // systems (wine) copy on their own when a rename crosses volumes.
        return CopyAcross(t, replaceAll_);
    }
    DWORD flags = MOVEFILE_WRITE_THROUGH | (replaceAll_ ? MOVEFILE_REPLACE_EXISTING : 0);
    if (::MoveFileExA(t.source, t.destination, flags)) {
        ++result_.moved;
        return Flow::Go;
    }
    DWORD error = ::GetLastError();
    if (error == ERROR_NOT_SAME_DEVICE) {
        return CopyAcross(t, replaceAll_);
    }
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ||
        (error == ERROR_ACCESS_DENIED && Attributes(t.destination) != INVALID_FILE_ATTRIBUTES)) {
        if (IsFolder(t.destination)) {
            Fail(t, ERROR_DIRECTORY_NOT_SUPPORTED);
            return Flow::Go;
        }
        if (!replaceAll_) {
            Consent consent = AskReplace(t.destination);
            if (consent != Consent::Replace) {
                return consent == Consent::Stop ? Flow::Stop : Flow::Go;
            }
            if (::MoveFileExA(t.source, t.destination, MOVEFILE_WRITE_THROUGH | MOVEFILE_REPLACE_EXISTING)) {
                ++result_.moved;
                return Flow::Go;
            }
            error = ::GetLastError();
            if (error == ERROR_NOT_SAME_DEVICE) {
                return CopyAcross(t, true);
            }
        }
    }
    Fail(t, error);
    return Flow::Go;
}

// Copies the file's data to a new file in chunks, reporting each, then its times and attributes;
// the copy is flushed to the disk before it is closed. ERROR_REQUEST_ABORTED when the progress
// display asked to stop (the caller removes the partial copy).
DWORD Mover::CopyData(const char* source, const std::string& temp) {
    HANDLE in = ::CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        return ::GetLastError();
    }
    HANDLE out =
        ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        DWORD error = ::GetLastError();
        ::CloseHandle(in);
        return error;
    }
    constexpr DWORD kChunk = 8u << 20;
    std::vector<char> buffer(kChunk);
    std::uint64_t copied = 0;
    DWORD error = ERROR_SUCCESS;
    TapBegin();
    copiedBytes_ = 0;
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(in, buffer.data(), kChunk, &got, nullptr)) {
            error = ::GetLastError();
            break;
        }
        if (got == 0) {
            break;
        }
        DWORD put = 0;
        if (!::WriteFile(out, buffer.data(), got, &put, nullptr) || put != got) {
            error = put != got && ::GetLastError() == ERROR_SUCCESS ? ERROR_WRITE_FAULT : ::GetLastError();
            break;
        }
        TapData(copied, buffer, got);
        buffer.resize(kChunk);
        copied += got;
        copiedBytes_ = copied;
        state_.bytesDone = fileStart_ + copied;
        if (!Report()) {
            copyCancelled_ = true;
            error = ERROR_REQUEST_ABORTED;
            break;
        }
    }
    FILETIME created{}, accessed{}, written{};
    if (error == ERROR_SUCCESS) {
        if (::GetFileTime(in, &created, &accessed, &written)) {
            ::SetFileTime(out, &created, &accessed, &written);
        }
        if (!::FlushFileBuffers(out)) {
            error = ::GetLastError();
        }
    }
    ::CloseHandle(in);
    if (!::CloseHandle(out) && error == ERROR_SUCCESS) {
        error = ::GetLastError();
    }
    DWORD a = ::GetFileAttributesA(source);
    if (error == ERROR_SUCCESS && a != INVALID_FILE_ATTRIBUTES) {
        ::SetFileAttributesA(temp.c_str(), a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    }
    return error;
}

Flow Mover::CopyAcross(Transfer& t, bool replaceApproved) {
    if (!replaceApproved && Attributes(t.destination) != INVALID_FILE_ATTRIBUTES) {
        if (IsFolder(t.destination)) {
            Fail(t, ERROR_DIRECTORY_NOT_SUPPORTED);
            return Flow::Go;
        }
        Consent consent = AskReplace(t.destination);
        if (consent != Consent::Replace) {
            return consent == Consent::Stop ? Flow::Stop : Flow::Go;
        }
        replaceApproved = true;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (t.size == 0 && ::GetFileAttributesExA(t.source, GetFileExInfoStandard, &data)) {
        // Volumes that look like one (folders of one drive letter mounted from elsewhere) were
        // not counted in the batch's bytes beforehand.
        t.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        state_.bytesTotal += t.size;
    }
    std::string folder = AddTrailingBackslash(FolderOf(t.destination));
    std::string temp;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS);
         ++attempt) {
        temp = Format("%s%.*s%llu-%llu", folder.c_str(), static_cast<int>(kBatchMoveTempPrefix.size()),
                      kBatchMoveTempPrefix.data(), static_cast<unsigned long long>(ProcessId()),
                      static_cast<unsigned long long>(++tempCounter_));
        copyCancelled_ = false;
        error = CopyData(t.source, temp);
    }
    if (error != ERROR_SUCCESS) {
        ::SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(temp.c_str());
        if (copyCancelled_ || error == ERROR_REQUEST_ABORTED) {
            result_.cancelled = true;
            return Flow::Stop;
        }
        Fail(t, error);
        return Flow::Go;
    }
    return Place(t, temp, replaceApproved);
}

// The copy is whole and on disk under its temporary name: give it the final name, and only then
// let go of the source.
Flow Mover::Place(const Transfer& t, const std::string& temp, bool replaceApproved) {
    auto rename = [&](bool replace) {
        return ::MoveFileExA(temp.c_str(), t.destination,
                             MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0)) != 0;
    };
    auto dropCopy = [&](const std::string& path) {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
    };
    bool placed = rename(replaceApproved);
    DWORD error = placed ? ERROR_SUCCESS : ::GetLastError();
    if (!placed && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) &&
        !IsFolder(t.destination)) {
        // Someone created the destination while the copy ran.
        Consent consent = AskReplace(t.destination);
        if (consent != Consent::Replace) {
            dropCopy(temp);
            return consent == Consent::Stop ? Flow::Stop : Flow::Go;
        }
        placed = rename(true);
        error = placed ? ERROR_SUCCESS : ::GetLastError();
    }
    if (!placed) {
        dropCopy(temp);
        Fail(t, error);
        return Flow::Go;
    }
    // A read-only source is moved all the same, as a move within a volume would move it.
    DWORD a = Attributes(t.source);
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) != 0) {
        ::SetFileAttributesA(t.source, a & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!::DeleteFileA(t.source)) {
        error = ::GetLastError();
        // A source that someone else removed meanwhile now lives only at its destination: keep that.
        if (error != ERROR_FILE_NOT_FOUND) {
            if (a != INVALID_FILE_ATTRIBUTES) {
                ::SetFileAttributesA(t.source, a);
            }
            // The source stays; the copy goes, so the file is not left in two places.
            dropCopy(t.destination);
            Fail(t, error);
            return Flow::Go;
        }
    }
    TapPlaced(copiedBytes_);
    ++result_.moved;
    return Flow::Go;
}

// The volume of a folder that may not exist yet: that of its nearest existing ancestor.
std::optional<std::uint64_t> VolumeOf(std::string folder) {
    for (;;) {
        if (std::optional<std::uint64_t> volume = FileSystemOf(folder)) {
            return volume;
        }
        std::string parent = FolderOf(folder.c_str());
        if (parent == folder || parent == ".") {
            return std::nullopt;
        }
        folder = std::move(parent);
    }
}

// The bytes of the files that will be copied to another volume (a rename takes no time by size).
void Survey(std::vector<Transfer>& transfers) {
    std::string lastFrom, lastTo;
    bool across = false;
    for (Transfer& t : transfers) {
        std::string from = FolderOf(t.source), to = FolderOf(t.destination);
        if (from != lastFrom || to != lastTo) {
            std::optional<std::uint64_t> a = VolumeOf(from), b = VolumeOf(to);
            across = a && b && *a != *b;
            lastFrom = std::move(from);
            lastTo = std::move(to);
        }
        t.across = across;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (across && ::GetFileAttributesExA(t.source, GetFileExInfoStandard, &data) &&
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            t.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        }
    }
}

}  // namespace

BatchMoveResult BatchMove(std::string_view sources, std::string_view destinations, Prompter& prompter,
                          ProgressSink& progress, std::string_view ownFolder, CopyTap* tap) {
    std::vector<const char*> from;
    std::vector<const char*> to;
    if (!SplitList(sources, from) || !SplitList(destinations, to) || from.size() != to.size()) {
        BatchMoveResult refused;
        refused.failed = true;
        refused.failures.push_back({"", "", SystemMessage(ERROR_INVALID_PARAMETER)});
        return refused;
    }
    std::vector<Transfer> transfers(from.size());
    for (std::size_t i = 0; i < from.size(); ++i) {
        transfers[i].source = from[i];
        transfers[i].destination = to[i];
    }
    Survey(transfers);
    return Mover(prompter, progress, ownFolder, tap).Run(transfers);
}

std::uint64_t RemoveStaleCopies(const std::string& folder) {
    std::uint64_t removed = 0;
    std::vector<std::string> pending{folder};
    while (!pending.empty()) {
        std::string path = std::move(pending.back());
        pending.pop_back();
        removed += RemoveStaleCopiesIn(path, &pending);
    }
    return removed;
}

}  // namespace stowra
