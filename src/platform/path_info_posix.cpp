#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>

#include "platform/PathInfo.h"

namespace stowra {

std::optional<std::string> ResolvePath(const std::string& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) {
        return std::nullopt;
    }
    return std::string(resolved.get());
}

std::string AbsolutePathText(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec) {
        p = path;
    }
    std::string text = p.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

std::optional<std::uint64_t> FileSystemOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_dev);
}

std::optional<FileFacts> FileFactsOf(const std::string& path) {
    struct stat st {};
    std::tm tm{};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || ::localtime_r(&st.st_mtime, &tm) == nullptr) {
        return std::nullopt;
    }
    return FileFacts{static_cast<std::uint64_t>(st.st_size),
                     {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec}};
}

std::optional<FolderId> IdentityOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool RemoveFolder(const std::string& path) {
    // A trailing delimiter would make lstat and rmdir look through a link to its folder.
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') {
        name.pop_back();
    }
    struct stat st {};
    if (name.empty() || ::lstat(name.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    return ::rmdir(name.c_str()) == 0;
}

std::optional<std::string> FolderAboveRoot(const std::string& /*path*/) {
    return std::nullopt;
}

}  // namespace stowra
