#include <windows.h>

#include <cerrno>

#include "platform/Folder.h"
#include "platform/Text.h"

namespace stowra {

namespace {

constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

// The folder's volume serial number and file index: what device and inode are on Linux.
std::optional<FolderId> IdOf(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    if (!ok) {
        return std::nullopt;
    }
    return FolderId{info.dwVolumeSerialNumber,
                    (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

void SetErrnoFromLastError() {
    switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            errno = ENOENT;
            break;
        case ERROR_ACCESS_DENIED:
            errno = EACCES;
            break;
        case ERROR_TOO_MANY_OPEN_FILES:
            errno = EMFILE;
            break;
        default:
            errno = EIO;
    }
}

}  // namespace

Folder::~Folder() = default;
Folder::Folder(Folder&& other) noexcept = default;
Folder& Folder::operator=(Folder&& other) noexcept = default;

std::optional<Folder> Folder::Open(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == kNoAttributes) {
        SetErrnoFromLastError();
        return std::nullopt;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        errno = ENOTDIR;
        return std::nullopt;
    }
    std::optional<FolderId> id = IdOf(path);
    if (!id) {
        SetErrnoFromLastError();
        return std::nullopt;
    }
    return Folder(AddTrailingBackslash(path), *id);
}

std::optional<Folder> Folder::OpenChild(std::string_view name) const {
    return OpenBelow(name);
}

std::optional<Folder> Folder::OpenBelow(std::string_view relative) const {
    if (relative.empty()) {
        return Open(path_);
    }
    std::string path = path_;
    path.append(relative);
    return Open(path);
}

bool Folder::List(const AttributeFilter& filter, DirListing& out) const {
    out.Clear();
    if (path_.empty()) {
        return false;
    }
    // "*.*" matches every name, with or without a dot, as the system has always read it.
    std::string pattern = path_ + "*.*";
    WIN32_FIND_DATAA found{};
    HANDLE find = ::FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty root has no "." entry to find; anything else means the folder cannot be listed.
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        const char* name = found.cFileName;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        DWORD a = found.dwFileAttributes;
        if (((a & FILE_ATTRIBUTE_HIDDEN) != 0 && !filter.includeHidden) ||
            ((a & FILE_ATTRIBUTE_SYSTEM) != 0 && !filter.includeSystem)) {
            continue;
        }
        // Junctions and symbolic links are never followed: their data is elsewhere.
        bool isLink = (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (isLink && !filter.includeLinks) {
            out.CountSkippedLink();
            continue;
        }
        bool isFolder = (a & FILE_ATTRIBUTE_DIRECTORY) != 0 && !isLink;
        std::uint64_t size =
            isFolder || isLink ? 0 : (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
        out.Add(name, isFolder ? EntryKind::Folder : EntryKind::File, isLink, size);
    } while (::FindNextFileA(find, &found));
    bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
    ::FindClose(find);
    if (!complete) {
        out.Clear();
        return false;
    }
    out.SortByName();
    return true;
}

bool FolderExists(const std::string& path) {
    DWORD a = path.empty() ? kNoAttributes : ::GetFileAttributesA(path.c_str());
    return a != kNoAttributes && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
    DWORD a = path.empty() ? kNoAttributes : ::GetFileAttributesA(path.c_str());
    return a != kNoAttributes && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

LocalTime NowLocal() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace stowra
