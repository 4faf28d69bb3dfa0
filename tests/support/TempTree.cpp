#include "support/TempTree.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace stowra::test {

std::string StampAt(std::time_t t) {
    std::tm tm{};
#ifdef _WIN32
    ::localtime_s(&tm, &t);
#else
    ::localtime_r(&t, &tm);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &tm);
    return text;
}

#ifdef _WIN32
// Windows: the system's ANSI functions throughout, so names are code page 932 bytes as the
// program's own are (the standard library's paths would read them as UTF-8).
namespace {

std::string Native(std::string_view relative) {
    std::string path(relative);
    for (char& c : path) {
        if (c == '/') {
            c = '\\';  // never a trail byte of a double-byte character
        }
    }
    return path;
}

void MakeFolders(const std::string& path) {
    DWORD a = ::GetFileAttributesA(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return;
    }
    std::size_t cut = path.find_last_of('\\');
    if (cut != std::string::npos && cut > 2) {
        MakeFolders(path.substr(0, cut));
    }
    if (!::CreateDirectoryA(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        throw std::runtime_error("cannot create folder " + path);
    }
}

std::string ParentOf(const std::string& path) {
    return path.substr(0, path.find_last_of('\\'));
}

std::string SystemTempFolder() {
    char temp[MAX_PATH + 1];
    DWORD n = ::GetTempPathA(sizeof temp, temp);
    return std::string(temp, n);
}

}  // namespace

TempTree::TempTree() : TempTree(SystemTempFolder()) {}

TempTree::TempTree(const std::string& parent) {
    const std::string base = parent.empty() || parent.back() == '\\' ? parent : parent + "\\";
    for (unsigned attempt = 0;; ++attempt) {
        std::string candidate =
            base + "stowra-test-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt);
        if (::CreateDirectoryA(candidate.c_str(), nullptr)) {
            root_ = candidate;
            return;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS || attempt > 1000) {
            throw std::runtime_error("cannot create a temporary folder");
        }
    }
}

TempTree::~TempTree() {
    RemoveTree(root_);
}

std::string TempTree::Path(std::string_view relative) const {
    return relative.empty() ? root_ : root_ + "\\" + Native(relative);
}

void TempTree::Folder(std::string_view relative) const {
    MakeFolders(Path(relative));
}

void TempTree::File(std::string_view relative, std::uint64_t size) const {
    std::string p = Path(relative);
    MakeFolders(ParentOf(p));
    HANDLE h =
        ::CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    bool ok =
        h != INVALID_HANDLE_VALUE && ::SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(h);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
    }
    if (!ok) {
        throw std::runtime_error("cannot create " + p);
    }
}

void TempTree::Write(std::string_view relative, std::string_view content) const {
    std::string p = Path(relative);
    MakeFolders(ParentOf(p));
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (f == nullptr) {
        throw std::runtime_error("cannot write " + p);
    }
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
}

std::string TempTree::Read(std::string_view relative) const {
    std::string content;
    std::FILE* f = std::fopen(Path(relative).c_str(), "rb");
    if (f != nullptr) {
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            content.append(buffer, n);
        }
        std::fclose(f);
    }
    return content;
}

void TempTree::Link(std::string_view relative, const std::string& target) const {
    std::string p = Path(relative);
    MakeFolders(ParentOf(p));
    DWORD a = ::GetFileAttributesA(target.c_str());
    DWORD flags = a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0
                      ? SYMBOLIC_LINK_FLAG_DIRECTORY
                      : 0;
    if (!::CreateSymbolicLinkA(p.c_str(), target.c_str(),
                               flags | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
        throw std::runtime_error("cannot create the link " + p);
    }
}

void TempTree::SystemEntry(std::string_view relative) const {
    File(relative, 0);
    if (!::SetFileAttributesA(Path(relative).c_str(), FILE_ATTRIBUTE_SYSTEM)) {
        throw std::runtime_error("cannot mark a system file");
    }
}

bool TempTree::Exists(std::string_view relative) const {
    return ::GetFileAttributesA(Path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// Through the wide functions, so that names the code page cannot spell go too.
void RemoveTreeWide(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring_view name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            std::wstring child = path + L"\\" + found.cFileName;
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (folder && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                RemoveTreeWide(child);
            } else if (folder) {
                ::RemoveDirectoryW(child.c_str());
            } else {
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(path.c_str());
}

}  // namespace

void RemoveTree(const std::string& path) {
    int n = ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    RemoveTreeWide(wide);
}

#else
TempTree::TempTree() : TempTree(fs::temp_directory_path().string()) {}

TempTree::TempTree(const std::string& parent) {
    std::string base = parent + "/stowra-test-XXXXXX";
    if (::mkdtemp(base.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = base;
}

TempTree::~TempTree() {
    RemoveTree(root_);
}

std::string TempTree::Path(std::string_view relative) const {
    return relative.empty() ? root_ : root_ + "/" + std::string(relative);
}

void TempTree::Folder(std::string_view relative) const {
    fs::create_directories(Path(relative));
}

void TempTree::File(std::string_view relative, std::uint64_t size) const {
    fs::path p = Path(relative);
    fs::create_directories(p.parent_path());
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot create " + p.string());
    }
    ::close(fd);
}

void TempTree::Write(std::string_view relative, std::string_view content) const {
    fs::path p = Path(relative);
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string TempTree::Read(std::string_view relative) const {
    std::ifstream in(Path(relative), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void TempTree::Link(std::string_view relative, const std::string& target) const {
    fs::path p = Path(relative);
    fs::create_directories(p.parent_path());
    fs::create_symlink(target, p);
}

void TempTree::SystemEntry(std::string_view relative) const {
    if (::mkfifo(Path(relative).c_str(), 0644) != 0) {
        throw std::runtime_error("mkfifo failed");
    }
}

bool TempTree::Exists(std::string_view relative) const {
    std::error_code ec;
    return fs::symlink_status(Path(relative), ec).type() != fs::file_type::not_found;
}

void RemoveTree(const std::string& path) {
    std::error_code ec;
    // Give back search and write permission everywhere first, or the removal would stop short.
    for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            ::chmod(it->path().c_str(), 0755);
        }
    }
    ::chmod(path.c_str(), 0755);
    fs::remove_all(path, ec);
    if (ec) {
        // A folder made unreadable before the iterator could enter it: try once more.
        for (auto it = fs::recursive_directory_iterator(path, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            ::chmod(it->path().c_str(), 0755);
        }
        fs::remove_all(path, ec);
    }
}
#endif

}  // namespace stowra::test
