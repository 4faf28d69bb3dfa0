#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <numeric>
#include <string>
#include <vector>

#include "platform/BatchMove.h"
#include "platform/Folder.h"

namespace stowra {

Folder::Folder(int fd) : fd_(fd) {
    struct stat st {};
    if (::fstat(fd_, &st) == 0) {
        id_ = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    }
}

Folder::~Folder() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

Folder::Folder(Folder&& other) noexcept : fd_(other.fd_), id_(other.id_) {
    other.fd_ = -1;
}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        id_ = other.id_;
        other.fd_ = -1;
    }
    return *this;
}

std::optional<Folder> Folder::Open(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    return Folder(fd);
}

std::optional<Folder> Folder::OpenChild(std::string_view name) const {
    std::string n(name);
    int fd = ::openat(fd_, n.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    return Folder(fd);
}

std::optional<Folder> Folder::OpenBelow(std::string_view relative) const {
    if (relative.size() < 2048) {
        std::string path = relative.empty() ? std::string(".") : std::string(relative);
        int fd = ::openat(fd_, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            return std::nullopt;
        }
        return Folder(fd);
    }
    std::optional<Folder> at;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string_view::npos) {
            end = relative.size();
        }
        if (end > start) {
            at = (at ? *at : *this).OpenChild(relative.substr(start, end - start));
            if (!at) {
                return std::nullopt;
            }
        }
        start = end + 1;
    }
    return at ? std::move(at) : OpenBelow({});
}

bool Folder::List(const AttributeFilter& filter, DirListing& out) const {
    out.Clear();
    if (fd_ < 0) {
        return false;
    }
    // readdir consumes the descriptor's position, so list through a duplicate.
    int dupFd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dupFd < 0) {
        return false;
    }
    DIR* dir = ::fdopendir(dupFd);
    if (dir == nullptr) {
        ::close(dupFd);
        return false;
    }
    while (dirent* d = ::readdir(dir)) {
        const char* name = d->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        if (filter.leaveOutCopies && IsCopyName(name)) {
            out.CountSkippedCopy();
            continue;
        }
        if (name[0] == '.' && !filter.includeHidden) {
            continue;
        }
        unsigned char type = d->d_type;
        struct stat st {};
        if (type != DT_DIR) {
            // Never follow a link: the entry itself decides what it is.
            if (::fstatat(fd_, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;  // vanished since it was listed
            }
            type = S_ISLNK(st.st_mode)   ? DT_LNK
                   : S_ISDIR(st.st_mode) ? DT_DIR
                   : S_ISREG(st.st_mode) ? DT_REG
                                         : DT_UNKNOWN;
        }
        bool isLink = type == DT_LNK;
        EntryKind kind = type == DT_DIR ? EntryKind::Folder : EntryKind::File;
        std::uint64_t size = type == DT_REG ? static_cast<std::uint64_t>(st.st_size) : 0;
        if (isLink && !filter.includeLinks) {
            out.CountSkippedLink();
            continue;
        }
        if (type == DT_UNKNOWN && !filter.includeSystem) {
            continue;
        }
        out.Add(name, kind, isLink, size);
    }
    ::closedir(dir);
    out.SortByName();
    return true;
}

bool MakeFolders(const std::string& path) {
    std::vector<std::size_t> missing;
    std::size_t end = path.size();
    while (true) {
        std::string part = path.substr(0, end);
        if (::mkdir(part.c_str(), 0777) == 0 || errno == EEXIST) {
            break;
        }
        if (errno != ENOENT) {
            return false;
        }
        missing.push_back(end);
        end = end == 0 ? std::string::npos : path.rfind('/', end - 1);
        if (end == std::string::npos || end == 0) {
            errno = ENOENT;
            return false;
        }
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        std::string part = path.substr(0, *it);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

NewFolder CreateNewFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) {
        return NewFolder::Created;
    }
    return errno == EEXIST ? NewFolder::Exists : NewFolder::Failed;
}

std::FILE* CreateNewFile(const std::string& path) {
    // O_EXCL with O_CREAT fails on a symbolic link as on any other existing name.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        errno = error;
    }
    return file;
}

LocalTime NowLocal() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace stowra
