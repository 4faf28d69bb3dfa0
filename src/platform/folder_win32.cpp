#include "platform/folder_win32.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cwctype>
#include <string>
#include <string_view>

#include "platform/BatchMove.h"
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

// The path in UTF-16 for the wide functions; empty when it is not text of the code page.
std::wstring Wide(const std::string& path) {
    int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                                  nullptr, 0);
    if (n <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    return wide;
}

// The name in the ANSI code page; false when some character has no exact equivalent there.
bool Narrow(const wchar_t* name, std::string& out) {
    BOOL lossy = FALSE;
    int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy) {
        return false;
    }
    out.resize(static_cast<std::size_t>(n));
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, out.data(), n, nullptr, &lossy);
    out.resize(static_cast<std::size_t>(n - 1));  // without the terminating NUL
    return !lossy;
}

// Whether Windows can reach an entry by this name through an ordinary path. Names seen through a
// network share or a Linux file system may end in a dot or a blank (which Windows strips), hold
// a character a path cannot carry, or be a device's name (CON, NUL, AUX.txt): such a file would
// be packed and then fail to move, or another file would move in its place.
bool Addressable(const wchar_t* name) {
    std::wstring_view n(name);
    if (n.empty() || n.back() == L'.' || n.back() == L' ') {
        return false;
    }
    for (wchar_t c : n) {
        if (c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) {
            return false;
        }
    }
    std::wstring base(n.substr(0, n.find(L'.')));
    while (!base.empty() && base.back() == L' ') {
        base.pop_back();
    }
    for (wchar_t& c : base) {
        c = static_cast<wchar_t>(::towupper(c));
    }
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL") {
        return false;
    }
    return !(base.size() == 4 && (base.starts_with(L"COM") || base.starts_with(L"LPT")) && base[3] >= L'1' &&
             base[3] <= L'9');
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
    // Listed through the wide functions: the ANSI ones would spell a name the code page lacks a
    // character for with '?' or a look-alike ("été" as "ete"), a name no file has. Such names
    // are counted and left out; every other name converts back exactly.
    std::wstring pattern = Wide(path_ + "*.*");
    WIN32_FIND_DATAW found{};
    HANDLE find = pattern.empty()
                      ? INVALID_HANDLE_VALUE
                      : ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                           nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty root has no "." entry to find; anything else means the folder cannot be listed.
        return !pattern.empty() && ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    std::string name;
    do {
        const wchar_t* w = found.cFileName;
        if (w[0] == L'.' && (w[1] == L'\0' || (w[1] == L'.' && w[2] == L'\0'))) {
            continue;
        }
        DWORD a = found.dwFileAttributes;
        if (filter.leaveOutCopies && (a & FILE_ATTRIBUTE_DIRECTORY) == 0 && w[0] == L'.' && Narrow(w, name) &&
            IsCopyName(name)) {
            out.CountSkippedCopy();
            continue;
        }
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
        // A path the ordinary functions cannot take (MAX_PATH with its NUL) is left out here rather
        // than packed and then failed at the move.
        if (!Addressable(w) || !Narrow(w, name) || path_.size() + name.size() >= MAX_PATH) {
            out.CountSkippedName();
            continue;
        }
        bool isFolder = (a & FILE_ATTRIBUTE_DIRECTORY) != 0 && !isLink;
        std::uint64_t size =
            isFolder || isLink ? 0 : (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
        out.Add(name, isFolder ? EntryKind::Folder : EntryKind::File, isLink, size);
    } while (::FindNextFileW(find, &found));
    bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
    ::FindClose(find);
    if (!complete) {
        out.Clear();
        return false;
    }
    out.SortByName();
    return true;
}

std::string FolderOf(const char* path) {
    std::string_view p(path);
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(p[i]), kNativeCodepage) && i + 1 < p.size()) {
            ++i;
        } else if (p[i] == '\\' || p[i] == '/') {
            last = i;
        }
    }
    if (last == std::string_view::npos) {
        return ".";
    }
    // "C:\name" lives in "C:\", not in "C:" (which is the current folder of drive C).
    return std::string(p.substr(0, last == 2 && p[1] == ':' ? 3 : last));
}

bool MakeFolders(const std::string& path) {
    if (FolderExists(path)) {
        return true;
    }
    std::string parent = FolderOf(path.c_str());
    if (parent != path && parent != "." && !MakeFolders(parent)) {
        return false;
    }
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0 || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool FolderExists(const std::string& path) {
    DWORD a = path.empty() ? kNoAttributes : ::GetFileAttributesA(path.c_str());
    return a != kNoAttributes && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
    DWORD a = path.empty() ? kNoAttributes : ::GetFileAttributesA(path.c_str());
    return a != kNoAttributes && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool PathExists(const std::string& path) {
    return !path.empty() && ::GetFileAttributesA(path.c_str()) != kNoAttributes;
}

NewFolder CreateNewFolder(const std::string& path) {
    if (::CreateDirectoryA(path.c_str(), nullptr)) {
        return NewFolder::Created;
    }
    return ::GetLastError() == ERROR_ALREADY_EXISTS ? NewFolder::Exists : NewFolder::Failed;
}

std::FILE* CreateNewFile(const std::string& path) {
    // CREATE_NEW fails on any existing name, a link among them, so nothing is written through one.
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(h);
        ::DeleteFileA(path.c_str());
        return nullptr;
    }
    std::FILE* file = ::_fdopen(fd, "wb");
    if (file == nullptr) {
        ::_close(fd);
        ::DeleteFileA(path.c_str());
    }
    return file;
}

LocalTime NowLocal() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace stowra
