// The batch move on Linux: each file renamed into place, folders made as needed, a question
// before an existing file is replaced; a file on another file system goes to the copy
// (batch_move_copy_posix.cpp).
#include "platform/batch_move_posix.h"

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

namespace stowra::posix_move {

// rename that never replaces an existing entry. File systems without RENAME_NOREPLACE get a check
// before the rename, which leaves a small window instead of none.
int RenameNew(int fromDir, const char* from, int toDir, const char* to) {
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
    struct stat st {};
    if (::fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::renameat(fromDir, from, toDir, to);
}

bool IsFolder(int dir, const char* name) {
    struct stat st {};
    return ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// A path of the lists, split into its folder and its last name. The name stays NUL-terminated
// inside the list.
struct PathParts {
    std::string_view folder;
    const char* name;
};

PathParts Split(const char* path) {
    std::string_view p(path);
    std::size_t slash = p.rfind('/');
    if (slash == std::string_view::npos) {
        return {".", path};
    }
    return {slash == 0 ? std::string_view("/") : p.substr(0, slash), path + slash + 1};
}

// The file system that holds the folder, or that will hold it once it is made (its nearest
// existing parent's).
std::optional<dev_t> DeviceOf(std::string_view folder) {
    std::string path(folder);
    while (true) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            return st.st_dev;
        }
        std::size_t slash = path.rfind('/');
        if (errno != ENOENT || slash == std::string::npos) {
            return std::nullopt;
        }
        path.resize(slash == 0 ? 1 : slash);
    }
}

// Sizes for the progress display, counted for the files that will be copied to another file
// system. A rename costs the same whatever the size, so files that stay on their file system are
// only counted as files, and cost no extra system call here.
void Survey(std::vector<Transfer>& transfers) {
    FolderCache folders;
    std::string_view lastFrom, lastTo;
    bool across = false;
    for (Transfer& t : transfers) {
        PathParts from = Split(t.source);
        PathParts to = Split(t.destination);
        if (from.folder != lastFrom || to.folder != lastTo) {
            lastFrom = from.folder;
            lastTo = to.folder;
            std::optional<dev_t> a = DeviceOf(from.folder), b = DeviceOf(to.folder);
            across = a && b && *a != *b;
        }
        int dir = across ? folders.Get(from.folder) : -1;
        struct stat st {};
        if (dir >= 0 && ::fstatat(dir, from.name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            t.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
            t.isFolder = S_ISDIR(st.st_mode);
        }
    }
}

}  // namespace

BatchMoveResult Mover::Run(const std::vector<Transfer>& transfers) {
    return RunAll(
        transfers.size(), [&](std::size_t i) { return transfers[i].size; },
        [&](std::size_t i) { return MoveOne(transfers[i]); });
}

void Mover::Fail(const Transfer& t, int error) {
    MoverBase::Fail(t.source, t.destination, std::generic_category().message(error));
}

int Mover::DestinationFolder(std::string_view folder) {
    if (!own_.empty() && folder.size() >= own_.size() && folder.substr(0, own_.size()) == own_ &&
        (folder.size() == own_.size() || folder[own_.size()] == '/')) {
        return destinationFolder_.Holds(folder) ? destinationFolder_.Get(folder) : OwnFolder(folder);
    }
    bool known = destinationFolder_.Holds(folder);
    int fd = destinationFolder_.Get(folder);
    if (fd < 0 && errno == ENOENT) {
        if (!MakeFolders(std::string(folder))) {
            return -1;
        }
        destinationFolder_.Forget();
        fd = destinationFolder_.Get(folder);
        swept_.emplace(folder);  // new: nothing left over in it
    } else if (fd >= 0 && !known && swept_.emplace(folder).second) {
        // Unfinished copies of a process that was killed would otherwise be burned with the disc.
        RemoveStaleCopiesAt(fd);
    }
    return fd;
}

// A folder below the caller's own folder, made and opened a name at a time from there without
// following a link at any step. This is on purpose not MakeFolders, which goes by the whole path
// and follows links: a link planted below the move's own folder must not lead its files elsewhere.
int Mover::OwnFolder(std::string_view folder) {
    if (!ownFd_) {
        ownFd_.Reset(::open(own_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!ownFd_) {
            return -1;
        }
    }
    UniqueFd current(::dup(ownFd_.get()));
    std::string_view rest = folder.substr(own_.size());
    while (current && !rest.empty()) {
        rest.remove_prefix(1);  // the delimiter
        std::size_t end = std::min(rest.find('/'), rest.size());
        std::string name(rest.substr(0, end));
        rest.remove_prefix(end);
        if (name.empty()) {
            continue;
        }
        if (::mkdirat(current.get(), name.c_str(), 0777) != 0 && errno != EEXIST) {
            return -1;
        }
        // ELOOP or ENOTDIR where a link or a file stands in the way.
        current.Reset(::openat(current.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!current) {
        return -1;
    }
    return destinationFolder_.Adopt(folder, current.Release());
}

Flow Mover::MoveOne(const Transfer& t) {
    if (t.isFolder) {
        Fail(t, EISDIR);  // a file that became a folder since the scan cannot be copied as one
        return Flow::Go;
    }
    PathParts from = Split(t.source);
    PathParts to = Split(t.destination);
    int fromDir = sourceFolder_.Get(from.folder);
    int toDir = fromDir < 0 ? -1 : DestinationFolder(to.folder);
    if (toDir < 0) {
        Fail(t, errno);
        return Flow::Go;
    }
    Job job{t, fromDir, from.name, toDir, to.name};
    int rc = replaceAll_ ? ::renameat(fromDir, from.name, toDir, to.name)
                         : RenameNew(fromDir, from.name, toDir, to.name);
    if (rc == 0) {
        ++result_.moved;
        return Flow::Go;
    }
    int error = errno;
    if (error == EXDEV) {
        return CopyAcross(job, false);
    }
    if (error == EEXIST) {
        if (!IsFolder(toDir, to.name)) {
            return ReplaceByRename(job);
        }
        error = EISDIR;
    }
    Fail(t, error);
    return Flow::Go;
}

Flow Mover::ReplaceByRename(const Job& job) {
    Consent consent = AskReplace(job.t.destination);
    if (consent != Consent::Replace) {
        return consent == Consent::Stop ? Flow::Stop : Flow::Go;
    }
    if (::renameat(job.fromDir, job.fromName, job.toDir, job.toName) == 0) {
        ++result_.moved;
        return Flow::Go;
    }
    if (errno == EXDEV) {
        return CopyAcross(job, true);
    }
    Fail(job.t, errno);
    return Flow::Go;
}

}  // namespace stowra::posix_move

namespace stowra {

using posix_move::Mover;
using posix_move::Transfer;

BatchMoveResult BatchMove(std::string_view sources, std::string_view destinations, Prompter& prompter,
                          ProgressSink& progress, std::string_view ownFolder, CopyTap* tap) {
    std::vector<const char*> from;
    std::vector<const char*> to;
    if (!SplitList(sources, from) || !SplitList(destinations, to) || from.size() != to.size()) {
        BatchMoveResult refused;
        refused.failed = true;
        refused.failures.push_back({"", "", std::generic_category().message(EINVAL)});
        return refused;
    }
    std::vector<Transfer> transfers(from.size());
    for (std::size_t i = 0; i < from.size(); ++i) {
        transfers[i].source = from[i];
        transfers[i].destination = to[i];
    }
    posix_move::Survey(transfers);
    return Mover(prompter, progress, ownFolder, tap).Run(transfers);
}

}  // namespace stowra
