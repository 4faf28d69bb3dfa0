// The unfinished copies a killed move left: found by their names, and removed only when no
// running move holds them.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_set>

#include "platform/BatchMove.h"
#include "platform/Folder.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/Translation.h"
#include "platform/batch_move_common.h"
#include "platform/batch_move_posix.h"

namespace stowra::posix_move {

namespace {

// Removes the copy at the name when no running move holds it. A move holds its copy locked from
// the moment it creates it until it has its final name, so a copy that can be locked was left by
// a process that was killed, whatever its id (pids repeat across containers and reboots). A copy
// of a link is made and renamed at once and holds no lock: one that is left over is stale.
bool RemoveIfStale(int dirFd, const char* name) {
    UniqueFd fd(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        return errno == ELOOP && ::unlinkat(dirFd, name, 0) == 0;
    }
    struct stat held {
    }, named{};
    return ::fstat(fd.get(), &held) == 0 && S_ISREG(held.st_mode) &&
           ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
           ::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == held.st_ino &&
           named.st_dev == held.st_dev && ::unlinkat(dirFd, name, 0) == 0;
}

}  // namespace

// Removes the stale copies directly in the open folder; returns how many.
std::uint64_t RemoveStaleCopiesAt(int dirFd, std::vector<std::string>* subfolders) {
    int dupFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = dupFd < 0 ? nullptr : ::fdopendir(dupFd);
    if (dir == nullptr) {
        if (dupFd >= 0) {
            ::close(dupFd);
        }
        return 0;
    }
    std::uint64_t removed = 0;
    while (dirent* d = ::readdir(dir)) {
        std::string_view name(d->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        struct stat st {};
        bool folder = d->d_type == DT_DIR ||
                      (d->d_type == DT_UNKNOWN &&
                       ::fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode));
        if (folder) {
            if (subfolders != nullptr) {
                subfolders->emplace_back(name);
            }
        } else if (IsCopyName(name) && RemoveIfStale(dirFd, d->d_name)) {
            ++removed;
        }
    }
    ::closedir(dir);
    return removed;
}

}  // namespace stowra::posix_move

namespace stowra {

using posix_move::RemoveStaleCopiesAt;
using posix_move::UniqueFd;

namespace {

// Folders are entered from their parent's descriptor, never by a path, so a folder swapped for a
// link meanwhile leads nowhere. Deeper than any disc's tree is left alone.
std::uint64_t RemoveStaleCopiesBelow(int fd, int depth) {
    std::vector<std::string> subfolders;
    std::uint64_t removed = RemoveStaleCopiesAt(fd, &subfolders);
    for (const std::string& sub : subfolders) {
        UniqueFd child(::openat(fd, sub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (child && depth < 256) {
            removed += RemoveStaleCopiesBelow(child.get(), depth + 1);
        }
    }
    return removed;
}

}  // namespace

std::uint64_t RemoveStaleCopies(const std::string& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return fd ? RemoveStaleCopiesBelow(fd.get(), 0) : 0;
}

}  // namespace stowra
