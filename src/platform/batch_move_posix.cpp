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

namespace stowra {

namespace {

constexpr std::size_t kCopyChunk = std::size_t{8} << 20;

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now and reports the close's own failure, which for a written file can be the first
    // sign of a full disk.
    int Close() {
        int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

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

// Keeps the folder of the last path open: the lists come folder by folder, so each folder is
// opened once and every file is then reached by its last name alone, without walking its whole
// path again.
class FolderCache {
public:
    // The open folder, or -1 with errno set.
    int Get(std::string_view folder) {
        if (!fd_ || folder != path_) {
            path_.assign(folder);
            int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            int error = errno;
            fd_.Reset(fd);
            errno = error;
        }
        return fd_.get();
    }
    // Forgets the folder, so that the next Get opens it again.
    void Forget() { fd_.Reset(); }
    // Keeps a folder that was opened some other way under the path.
    int Adopt(std::string_view folder, int fd) {
        path_.assign(folder);
        fd_.Reset(fd);
        return fd;
    }
    bool Holds(std::string_view folder) const { return fd_ && folder == path_; }

private:
    std::string path_;
    UniqueFd fd_;
};

struct Transfer {
    const char* source;  // NUL-terminated inside the caller's list
    const char* destination;
    std::uint64_t size = 0;  // bytes to copy, as found before the batch started; 0 for a rename
    bool isFolder = false;   // an entry to be copied that is a folder by now
};

// One transfer with its two folders open.
struct Job {
    const Transfer& t;
    int fromDir;
    const char* fromName;
    int toDir;
    const char* toName;
};

enum class Copied { Done, Failed, Cancelled, Changed };

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

bool WriteAllAt(int fd, const char* data, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Whether a file's data and name are as they were: a file that changed in any of these while it
// was copied is not moved.
bool Unchanged(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

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

// Removes the stale copies directly in the open folder; returns how many.
std::uint64_t RemoveStaleCopiesAt(int dirFd, std::vector<std::string>* subfolders = nullptr) {
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

// A copy under its temporary name, with what it was copied from.
struct Copy {
    std::string temp;
    UniqueFd lock;          // keeps the copy locked (see RemoveIfStale) until it has its final name
    struct stat source {};  // the source as it was when the copy began
};

enum class Source { Same, Changed, Gone, Unknown };

class Mover : MoverBase {
public:
    Mover(Prompter& prompter, ProgressSink& progress, std::string_view ownFolder)
        : MoverBase(prompter, progress), own_(ownFolder) {}
    BatchMoveResult Run(const std::vector<Transfer>& transfers);

private:
    Flow MoveOne(const Transfer& t);
    int DestinationFolder(std::string_view folder);
    int OwnFolder(std::string_view folder);
    Flow ReplaceByRename(const Job& job);
    Flow CopyAcross(const Job& job, bool replaceApproved);
    Flow Place(const Job& job, Copy& copy, bool replaceApproved);
    Source CheckSource(const Job& job, const Copy& copy);
    bool LeftInPlace(const Job& job, Source source, const char* copyName);
    Copied CopyFile(const Job& job, Copy& copy);
    Copied CopyData(int in, int out, std::uint64_t size, const Transfer& t);
    Copied CopyRange(int in, int out, std::uint64_t from, std::uint64_t to, const Transfer& t);
    Copied CopyLink(const Job& job, Copy& copy);
    std::string NextTempName();
    void Fail(const Transfer& t, int error);

    std::string own_;         // the folder the caller made for this batch; empty: none
    UniqueFd ownFd_;          // that folder, opened once
    bool shortRead_ = false;  // the source ended before its size while it was copied
    int lastError_ = 0;
    FolderCache sourceFolder_;
    FolderCache destinationFolder_;
    std::unordered_set<std::string> swept_;  // destination folders already cleared of stale copies
    std::uint64_t tempCounter_ = 0;
    std::vector<char> buffer_;
};

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

std::string Mover::NextTempName() {
    std::string name(kBatchMoveTempPrefix);
    name += std::to_string(ProcessId());
    name += '-';
    name += std::to_string(++tempCounter_);
    return name;
}

Flow Mover::CopyAcross(const Job& job, bool replaceApproved) {
    struct stat existing {};
    if (!replaceApproved && ::fstatat(job.toDir, job.toName, &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            Fail(job.t, EISDIR);
            return Flow::Go;
        }
        Consent consent = AskReplace(job.t.destination);
        if (consent != Consent::Replace) {
            return consent == Consent::Stop ? Flow::Stop : Flow::Go;
        }
        replaceApproved = true;
    }
    Copy copy;
    if (::fstatat(job.fromDir, job.fromName, &copy.source, AT_SYMLINK_NOFOLLOW) != 0) {
        Fail(job.t, errno);
        return Flow::Go;
    }
    Copied copied;
    if (S_ISREG(copy.source.st_mode)) {
        copied = CopyFile(job, copy);
    } else if (S_ISLNK(copy.source.st_mode)) {
        copied = CopyLink(job, copy);
    } else {
        lastError_ = ENOTSUP;  // pipes, sockets and devices cannot be copied to another file system
        copied = Copied::Failed;
    }
    if (copied == Copied::Cancelled) {
        return Flow::Stop;
    }
    if (copied == Copied::Changed) {
        // A rename away touches the file too: tell a source that is gone from one that changed.
        LeftInPlace(job, CheckSource(job, copy) == Source::Gone ? Source::Gone : Source::Changed, nullptr);
        return Flow::Go;
    }
    if (copied == Copied::Failed) {
        Fail(job.t, lastError_);
        return Flow::Go;
    }
    return Place(job, copy, replaceApproved);
}

// Whether the source is still what was copied: the same file under its name, neither written
// nor resized since.
Source Mover::CheckSource(const Job& job, const Copy& copy) {
    struct stat now {};
    if (::fstatat(job.fromDir, job.fromName, &now, AT_SYMLINK_NOFOLLOW) != 0) {
        lastError_ = errno;
        return errno == ENOENT ? Source::Gone : Source::Unknown;
    }
    return Unchanged(now, copy.source) ? Source::Same : Source::Changed;
}

// Reports a source that may not be let go of and removes the copy (under the given name; none
// when the copy is gone already). True when the source was not the one copied.
bool Mover::LeftInPlace(const Job& job, Source source, const char* copyName) {
    if (source == Source::Same) {
        return false;
    }
    if (copyName != nullptr) {
        ::unlinkat(job.toDir, copyName, 0);
    }
    if (source == Source::Unknown) {
        Fail(job.t, lastError_);
    } else {
        MoverBase::Fail(job.t.source, job.t.destination,
                        Tr(source == Source::Gone ? kMovedByOther : kChangedDuringMove));
    }
    return true;
}

// The copy is whole and on disk under its temporary name: give it the final name, make that name
// durable, and only then let go of the source, each step only while the source is still what was
// copied.
Flow Mover::Place(const Job& job, Copy& copy, bool replaceApproved) {
    const char* tmp = copy.temp.c_str();
    if (LeftInPlace(job, CheckSource(job, copy), tmp)) {
        return Flow::Go;
    }
    int rc = replaceApproved ? ::renameat(job.toDir, tmp, job.toDir, job.toName)
                             : RenameNew(job.toDir, tmp, job.toDir, job.toName);
    if (rc != 0 && errno == EEXIST && !IsFolder(job.toDir, job.toName)) {
        // Someone created the destination while the copy ran.
        Consent consent = AskReplace(job.t.destination);
        if (consent != Consent::Replace) {
            ::unlinkat(job.toDir, tmp, 0);
            return consent == Consent::Stop ? Flow::Stop : Flow::Go;
        }
        rc = ::renameat(job.toDir, tmp, job.toDir, job.toName);
    }
    if (rc != 0) {
        int error = errno == EEXIST ? EISDIR : errno;
        ::unlinkat(job.toDir, tmp, 0);
        Fail(job.t, error);
        return Flow::Go;
    }
    copy.lock.Reset();
    int error = ::fsync(job.toDir) == 0 ? 0 : errno;
    if (error == 0 && LeftInPlace(job, CheckSource(job, copy), job.toName)) {
        return Flow::Go;
    }
    // Gone since the last look: another process moved it, and its copy is the one to keep.
    if (error == 0 && ::unlinkat(job.fromDir, job.fromName, 0) != 0) {
        error = errno;
        if (error == ENOENT) {
            LeftInPlace(job, Source::Gone, job.toName);
            return Flow::Go;
        }
    }
    if (error != 0) {
        // The source stays; the copy goes, so the file is not left in two places.
        ::unlinkat(job.toDir, job.toName, 0);
        Fail(job.t, error);
        return Flow::Go;
    }
    ++result_.moved;
    return Flow::Go;
}

Copied Mover::CopyFile(const Job& job, Copy& copy) {
    UniqueFd in(::openat(job.fromDir, job.fromName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in || ::fstat(in.get(), &copy.source) != 0) {
        lastError_ = errno;
        return Copied::Failed;
    }
    UniqueFd out;
    for (int attempt = 0; attempt < 100 && !out; ++attempt) {
        copy.temp = NextTempName();
        out.Reset(::openat(job.toDir, copy.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           0600));
        if (!out && errno != EEXIST) {
            break;
        }
        // Locked before anyone may take it for stale; if another move's sweep got to the new name
        // first, it is gone by now, and the next name is tried.
        struct stat mine {
        }, named{};
        if (out && (::flock(out.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(out.get(), &mine) != 0 ||
                    ::fstatat(job.toDir, copy.temp.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
                    mine.st_ino != named.st_ino)) {
            out.Reset();
        }
    }
    if (!out) {
        lastError_ = errno;
        return Copied::Failed;
    }
    shortRead_ = false;
    const auto size = static_cast<std::uint64_t>(copy.source.st_size);
    Copied copied = CopyData(in.get(), out.get(), size, job.t);
    if (copied == Copied::Done) {
        // A file that ended early or goes on past its size was written meanwhile.
        char more = 0;
        struct stat after {};
        if (shortRead_ || ::pread(in.get(), &more, 1, static_cast<off_t>(size)) != 0 ||
            ::fstat(in.get(), &after) != 0 || !Unchanged(after, copy.source)) {
            copied = Copied::Changed;
        }
    }
    if (copied == Copied::Done) {
        // Owner, permission bits and times as the source had them; a file system that cannot
        // keep them still gets the data.
        const struct stat& st = copy.source;
        (void)::fchown(out.get(), st.st_uid, st.st_gid);
        (void)::fchmod(out.get(), st.st_mode & 07777);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        (void)::futimens(out.get(), times);
        // The lock belongs to the open file, which the second descriptor keeps open past the close
        // (whose own failure can be the first sign of a full disk).
        copy.lock.Reset(::dup(out.get()));
        if (::fsync(out.get()) != 0 || out.Close() != 0 || !copy.lock) {
            lastError_ = errno;
            copied = Copied::Failed;
        }
    }
    if (copied != Copied::Done) {
        ::unlinkat(job.toDir, copy.temp.c_str(), 0);
        copy.lock.Reset();
    }
    return copied;
}

// Copies the data areas of the file and leaves its holes as holes, so that a sparse file takes no
// more room at its destination than at its source.
Copied Mover::CopyData(int in, int out, std::uint64_t size, const Transfer& t) {
    std::uint64_t pos = 0;
    while (pos < size) {
        off_t data = ::lseek(in, static_cast<off_t>(pos), SEEK_DATA);
        if (data < 0 && errno == ENXIO) {
            break;  // only a hole is left
        }
        std::uint64_t from = data < 0 ? pos : static_cast<std::uint64_t>(data);
        off_t hole = data < 0 ? -1 : ::lseek(in, data, SEEK_HOLE);
        // A file system that cannot tell holes, or a file that changes meanwhile, is copied whole.
        std::uint64_t to = hole < 0 ? size : std::min(size, static_cast<std::uint64_t>(hole));
        if (to <= from) {
            to = size;
        }
        Copied copied = CopyRange(in, out, from, to, t);
        if (copied != Copied::Done) {
            return copied;
        }
        pos = to;
    }
    // The size, which a hole at the end would otherwise not give.
    if (::ftruncate(out, static_cast<off_t>(size)) != 0) {
        lastError_ = errno;
        return Copied::Failed;
    }
    return Copied::Done;
}

Copied Mover::CopyRange(int in, int out, std::uint64_t from, std::uint64_t to, const Transfer& t) {
    bool tryRange = true;
    std::uint64_t pos = from;
    while (pos < to) {
        std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(to - pos, kCopyChunk));
        ssize_t n;
        if (tryRange) {
            loff_t inPos = static_cast<loff_t>(pos), outPos = static_cast<loff_t>(pos);
            n = ::copy_file_range(in, &inPos, out, &outPos, chunk, 0);
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                tryRange = false;
                continue;
            }
        } else {
            buffer_.resize(std::size_t{1} << 20);
            n = ::pread(in, buffer_.data(), std::min(chunk, buffer_.size()), static_cast<off_t>(pos));
            if (n > 0 && !WriteAllAt(out, buffer_.data(), static_cast<std::size_t>(n), pos)) {
                n = -1;
            }
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            lastError_ = errno;
            return Copied::Failed;
        }
        if (n == 0) {
            shortRead_ = true;  // the file became shorter while it was copied
            break;
        }
        pos += static_cast<std::uint64_t>(n);
        state_.bytesDone = fileStart_ + std::min(pos, t.size);
        if (!Tick()) {
            return Copied::Cancelled;
        }
    }
    return Copied::Done;
}

Copied Mover::CopyLink(const Job& job, Copy& copy) {
    std::string target(4096, '\0');
    ssize_t n;
    while ((n = ::readlinkat(job.fromDir, job.fromName, target.data(), target.size())) ==
           static_cast<ssize_t>(target.size())) {
        target.resize(target.size() * 2);
    }
    if (n < 0) {
        lastError_ = errno;
        return Copied::Failed;
    }
    target.resize(static_cast<std::size_t>(n));
    copy.temp = NextTempName();
    if (::symlinkat(target.c_str(), job.toDir, copy.temp.c_str()) != 0) {
        lastError_ = errno;
        return Copied::Failed;
    }
    const struct stat& st = copy.source;
    (void)::fchownat(job.toDir, copy.temp.c_str(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    (void)::utimensat(job.toDir, copy.temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return Copied::Done;
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

BatchMoveResult BatchMove(std::string_view sources, std::string_view destinations, Prompter& prompter,
                          ProgressSink& progress, std::string_view ownFolder) {
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
    Survey(transfers);
    return Mover(prompter, progress, ownFolder).Run(transfers);
}

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
