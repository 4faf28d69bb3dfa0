#include <windows.h>

#include <string_view>
#include <vector>

#include "platform/PathInfo.h"
#include "platform/Text.h"

namespace stowra {

namespace {

// The path without its trailing delimiter, except a drive's root ("C:\"), which needs it.
std::string WithoutTrailingDelimiter(std::string path) {
    while (path.size() > 3 && EndsWithDelimiter(path, kPathDelimiter, kNativeCodepage)) {
        path.pop_back();
    }
    return path;
}

std::string FullPathName(const std::string& path) {
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        DWORD n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0) {
            return path;
        }
        if (n < buffer.size()) {
            return std::string(buffer.data(), n);
        }
        buffer.resize(n + 1);
    }
}

// A handle on the file or folder itself (links followed), for its identity and final path.
class PathHandle {
public:
    explicit PathHandle(const std::string& path)
        : h_(path.empty()
                 ? INVALID_HANDLE_VALUE
                 : ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {}
    ~PathHandle() {
        if (h_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h_);
        }
    }
    PathHandle(const PathHandle&) = delete;
    PathHandle& operator=(const PathHandle&) = delete;
    HANDLE get() const { return h_; }
    bool Information(BY_HANDLE_FILE_INFORMATION& info) const {
        return h_ != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(h_, &info) != 0;
    }

private:
    HANDLE h_;
};

}  // namespace

std::optional<std::string> ResolvePath(const std::string& path) {
    PathHandle handle(path);
    if (handle.get() == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::vector<char> buffer(MAX_PATH + 1);
    DWORD n = 0;
    for (;;) {
        n = ::GetFinalPathNameByHandleA(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) {
            return WithoutTrailingDelimiter(FullPathName(path));  // the system cannot say: take the text
        }
        if (n < buffer.size()) {
            break;
        }
        buffer.resize(n + 1);
    }
    std::string final(buffer.data(), n);
    // The answer comes in the long-path form: "\\?\C:\..." or "\\?\UNC\server\share\...".
    if (final.starts_with("\\\\?\\UNC\\")) {
        final = "\\\\" + final.substr(8);
    } else if (final.starts_with("\\\\?\\")) {
        final = final.substr(4);
    }
    return WithoutTrailingDelimiter(final);
}

std::string AbsolutePathText(const std::string& path) {
    return WithoutTrailingDelimiter(FullPathName(path));
}

std::optional<std::uint64_t> FileSystemOf(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!PathHandle(path).Information(info)) {
        return std::nullopt;
    }
    return info.dwVolumeSerialNumber;
}

std::optional<FileFacts> FileFactsOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    FILETIME local{};
    SYSTEMTIME t{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        !::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !::FileTimeToSystemTime(&local, &t)) {
        return std::nullopt;
    }
    return FileFacts{(std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                     {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}};
}

std::optional<FolderId> IdentityOf(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!PathHandle(path).Information(info)) {
        return std::nullopt;
    }
    return FolderId{info.dwVolumeSerialNumber,
                    (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

bool RemoveFolder(const std::string& path) {
    std::string name = WithoutTrailingDelimiter(path);
    DWORD a = name.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(name.c_str());
    // A junction or a folder link is not the folder the move emptied: leave it.
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return false;
    }
    return ::RemoveDirectoryA(name.c_str()) != 0;
}

std::optional<std::string> FolderAboveRoot(const std::string& path) {
    constexpr std::string_view kUnix = "\\\\?\\unix";
    if (path.starts_with(kUnix)) {
        return path + "/..";  // the Linux folder above, found by the Linux side itself
    }
    if (!(path.size() == 3 && path[1] == ':' && path[2] == '\\')) {
        return std::nullopt;  // the text has the folder above in it
    }
    // Only wine knows the Linux path behind a drive letter; on Windows the letter's root is a root.
    using UnixName = char*(CDECL*)(const WCHAR*);
    auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
    if (unixName == nullptr || n <= 0) {
        return std::nullopt;
    }
    std::vector<wchar_t> wide(static_cast<std::size_t>(n));
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), n);
    char* name = unixName(wide.data());
    if (name == nullptr) {
        return std::nullopt;
    }
    std::string unixPath(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    std::string ansi;
    if (unixPath.empty() || unixPath == "/" || !Utf8ToAnsi(unixPath, ansi)) {
        return std::nullopt;
    }
    if (!ansi.ends_with('/')) {
        ansi += '/';
    }
    return std::string(kUnix) + ansi + "..";
}

}  // namespace stowra
