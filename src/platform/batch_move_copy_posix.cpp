// The batch move's copy to another file system: a file is copied under a temporary name, locked,
// flushed, renamed into place, and only then is its source deleted, each step only while the
// source is still what was copied.
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

}  // namespace

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
    if (S_ISREG(copy.source.st_mode)) {
        TapPlaced(static_cast<std::uint64_t>(copy.source.st_size));
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
    TapBegin();
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
    // The kernel's own copy keeps the bytes from passing through here, where a tap must hear them.
    bool tryRange = tap_ == nullptr;
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
            if (n > 0) {
                TapData(pos, buffer_, static_cast<std::size_t>(n));
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

}  // namespace stowra::posix_move
