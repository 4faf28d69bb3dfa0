#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <unordered_set>

#include "platform/BatchMove.h"

namespace stowra {

std::string ReplaceQuestion(std::string_view destination) {
    std::string text = "移動先には同じ名前のファイルが既にあります。\n";
    text += destination;
    text += "\n\n移動するファイルで置き換えますか？";
    return text;
}

namespace {

constexpr std::size_t kCopyChunk = std::size_t{8} << 20;

struct Transfer {
    const char* source;  // NUL-terminated inside the caller's list
    const char* destination;
    std::uint64_t size = 0;  // as found before the batch started, for the progress display
    bool isFolder = false;
};

enum class Flow { Go, Stop };
enum class Consent { Replace, Skip, Stop };
enum class Copied { Done, Failed, Cancelled };

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
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

// Splits a list of NUL-terminated paths closed by one more NUL byte, which must be the list's last
// byte. The entries point into the list. False when the list is not closed that way.
bool SplitList(std::string_view list, std::vector<const char*>& out) {
    std::size_t i = 0;
    while (i < list.size()) {
        if (list[i] == '\0') {
            return i + 1 == list.size();
        }
        std::size_t end = list.find('\0', i);
        if (end == std::string_view::npos) {
            return false;
        }
        out.push_back(list.data() + i);
        i = end + 1;
    }
    return false;
}

std::string_view FolderOf(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

// Creates the folder and every missing folder above it.
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

// rename that never replaces an existing entry. File systems without RENAME_NOREPLACE get a check
// before the rename, which leaves a small window instead of none.
int RenameNew(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
    struct stat st {};
    if (::lstat(to, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from, to);
}

bool IsFolder(const char* path) {
    struct stat st {};
    return ::lstat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

int SyncFolder(std::string_view destination) {
    std::string_view folder = FolderOf(destination);
    if (folder.empty()) {
        folder = destination.starts_with('/') ? std::string_view("/") : std::string_view(".");
    }
    std::string name(folder);
    UniqueFd fd(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd || ::fsync(fd.get()) != 0) {
        return errno;
    }
    return 0;
}

class Mover {
public:
    Mover(Prompter& prompter, ProgressSink& progress) : prompter_(prompter), progress_(progress) {}
    BatchMoveResult Run(const std::vector<Transfer>& transfers);

private:
    Flow MoveOne(const Transfer& t);
    Flow ReplaceByRename(const Transfer& t);
    Flow CopyAcross(const Transfer& t, bool replaceApproved);
    Flow Place(const Transfer& t, const std::string& temp, bool replaceApproved);
    Copied CopyFile(const Transfer& t, std::string& temp);
    Copied CopyData(int in, int out, const Transfer& t);
    Copied CopyLink(const Transfer& t, std::string& temp);
    Consent AskReplace(const char* destination);
    bool EnsureFolder(const char* destination);
    std::string TempNameFor(std::string_view destination);
    bool Tick();
    void Fail(const Transfer& t, int error);

    Prompter& prompter_;
    ProgressSink& progress_;
    BatchMoveResult result_;
    std::uint64_t filesDone_ = 0;
    std::uint64_t filesTotal_ = 0;
    std::uint64_t bytesDone_ = 0;
    std::uint64_t bytesTotal_ = 0;
    std::uint64_t fileStart_ = 0;  // bytesDone_ when the current file began
    bool replaceAll_ = false;
    int lastError_ = 0;
    std::string lastFolder_;
    std::unordered_set<std::string> readyFolders_;
    std::uint64_t tempCounter_ = 0;
    std::vector<char> buffer_;
};

BatchMoveResult Mover::Run(const std::vector<Transfer>& transfers) {
    filesTotal_ = transfers.size();
    for (const Transfer& t : transfers) {
        bytesTotal_ += t.size;
    }
    if (!Tick()) {
        return result_;
    }
    for (const Transfer& t : transfers) {
        fileStart_ = bytesDone_;
        Flow flow = MoveOne(t);
        ++filesDone_;
        bytesDone_ = fileStart_ + t.size;
        if (flow == Flow::Stop || !Tick()) {
            break;
        }
    }
    return result_;
}

bool Mover::Tick() {
    if (progress_.Progress(filesDone_, filesTotal_, bytesDone_, bytesTotal_)) {
        return true;
    }
    result_.cancelled = true;
    return false;
}

void Mover::Fail(const Transfer& t, int error) {
    result_.failed = true;
    result_.failures.push_back({t.source, t.destination, std::generic_category().message(error)});
}

Flow Mover::MoveOne(const Transfer& t) {
    if (t.isFolder) {
        Fail(t, EISDIR);  // a file that became a folder since the scan: not part of this move
        return Flow::Go;
    }
    if (!EnsureFolder(t.destination)) {
        Fail(t, errno);
        return Flow::Go;
    }
    int rc = replaceAll_ ? ::rename(t.source, t.destination) : RenameNew(t.source, t.destination);
    if (rc == 0) {
        ++result_.moved;
        return Flow::Go;
    }
    int error = errno;
    if (error == EXDEV) {
        return CopyAcross(t, false);
    }
    if (error == EEXIST) {
        if (!IsFolder(t.destination)) {
            return ReplaceByRename(t);
        }
        error = EISDIR;
    }
    Fail(t, error);
    return Flow::Go;
}

bool Mover::EnsureFolder(const char* destination) {
    std::string_view folder = FolderOf(destination);
    if (folder.empty() || folder == lastFolder_) {
        return true;
    }
    std::string name(folder);
    if (readyFolders_.count(name) == 0) {
        if (!MakeFolders(name)) {
            return false;
        }
        readyFolders_.insert(name);
    }
    lastFolder_ = std::move(name);
    return true;
}

Consent Mover::AskReplace(const char* destination) {
    if (replaceAll_) {
        return Consent::Replace;
    }
    switch (prompter_.Ask(ReplaceQuestion(destination), kReplaceCaption, MessageIcon::Exclamation,
                          MessageButtons::YesAllNoCancel)) {
        case MessageAnswer::YesToAll:
            replaceAll_ = true;
            return Consent::Replace;
        case MessageAnswer::Yes:
            return Consent::Replace;
        case MessageAnswer::No:
            // Declining a replacement leaves part of the batch undone on purpose, which is what the
            // cancelled flag reports.
            result_.cancelled = true;
            return Consent::Skip;
        default:
            result_.cancelled = true;
            return Consent::Stop;
    }
}

Flow Mover::ReplaceByRename(const Transfer& t) {
    Consent consent = AskReplace(t.destination);
    if (consent != Consent::Replace) {
        return consent == Consent::Stop ? Flow::Stop : Flow::Go;
    }
    if (::rename(t.source, t.destination) == 0) {
        ++result_.moved;
        return Flow::Go;
    }
    if (errno == EXDEV) {
        return CopyAcross(t, true);
    }
    Fail(t, errno);
    return Flow::Go;
}

std::string Mover::TempNameFor(std::string_view destination) {
    std::string name(FolderOf(destination));
    if (!name.empty() || (!destination.empty() && destination[0] == '/')) {
        name += '/';
    }
    name += kBatchMoveTempPrefix;
    name += std::to_string(::getpid());
    name += '-';
    name += std::to_string(++tempCounter_);
    return name;
}

Flow Mover::CopyAcross(const Transfer& t, bool replaceApproved) {
    struct stat existing {};
    if (!replaceApproved && ::lstat(t.destination, &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            Fail(t, EISDIR);
            return Flow::Go;
        }
        Consent consent = AskReplace(t.destination);
        if (consent != Consent::Replace) {
            return consent == Consent::Stop ? Flow::Stop : Flow::Go;
        }
        replaceApproved = true;
    }
    struct stat st {};
    if (::lstat(t.source, &st) != 0) {
        Fail(t, errno);
        return Flow::Go;
    }
    std::string temp;
    Copied copied;
    if (S_ISREG(st.st_mode)) {
        copied = CopyFile(t, temp);
    } else if (S_ISLNK(st.st_mode)) {
        copied = CopyLink(t, temp);
    } else {
        lastError_ = ENOTSUP;  // pipes, sockets and devices cannot be copied to another file system
        copied = Copied::Failed;
    }
    if (copied == Copied::Cancelled) {
        return Flow::Stop;
    }
    if (copied == Copied::Failed) {
        Fail(t, lastError_);
        return Flow::Go;
    }
    return Place(t, temp, replaceApproved);
}

// The copy is whole and on disk under its temporary name: give it the final name, make that name
// durable, and only then let go of the source.
Flow Mover::Place(const Transfer& t, const std::string& temp, bool replaceApproved) {
    int rc = replaceApproved ? ::rename(temp.c_str(), t.destination) : RenameNew(temp.c_str(), t.destination);
    if (rc != 0 && errno == EEXIST && !IsFolder(t.destination)) {
        // Someone created the destination while the copy ran.
        Consent consent = AskReplace(t.destination);
        if (consent != Consent::Replace) {
            ::unlink(temp.c_str());
            return consent == Consent::Stop ? Flow::Stop : Flow::Go;
        }
        rc = ::rename(temp.c_str(), t.destination);
    }
    if (rc != 0) {
        int error = errno == EEXIST ? EISDIR : errno;
        ::unlink(temp.c_str());
        Fail(t, error);
        return Flow::Go;
    }
    int error = SyncFolder(t.destination);
    // A source that someone else removed meanwhile now lives only at its destination: keep that.
    if (error == 0 && ::unlink(t.source) != 0 && errno != ENOENT) {
        error = errno;
    }
    if (error != 0) {
        // The source stays; the copy goes, so the file is not left in two places.
        ::unlink(t.destination);
        Fail(t, error);
        return Flow::Go;
    }
    ++result_.moved;
    return Flow::Go;
}

Copied Mover::CopyFile(const Transfer& t, std::string& temp) {
    UniqueFd in(::open(t.source, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0) {
        lastError_ = errno;
        return Copied::Failed;
    }
    int outFd = -1;
    for (int attempt = 0; attempt < 100 && outFd < 0; ++attempt) {
        temp = TempNameFor(t.destination);
        outFd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (outFd < 0 && errno != EEXIST) {
            break;
        }
    }
    UniqueFd out(outFd);
    if (!out) {
        lastError_ = errno;
        return Copied::Failed;
    }
    Copied copied = CopyData(in.get(), out.get(), t);
    if (copied == Copied::Done) {
        // Owner, permission bits and times as the source had them; a file system that cannot
        // keep them still gets the data.
        (void)::fchown(out.get(), st.st_uid, st.st_gid);
        (void)::fchmod(out.get(), st.st_mode & 07777);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        (void)::futimens(out.get(), times);
        if (::fsync(out.get()) != 0 || out.Close() != 0) {
            lastError_ = errno;
            copied = Copied::Failed;
        }
    }
    if (copied != Copied::Done) {
        ::unlink(temp.c_str());
    }
    return copied;
}

Copied Mover::CopyData(int in, int out, const Transfer& t) {
    bool tryRange = true;
    bool trySendfile = true;
    std::uint64_t copied = 0;
    while (true) {
        ssize_t n;
        if (tryRange) {
            n = ::copy_file_range(in, nullptr, out, nullptr, kCopyChunk, 0);
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                tryRange = false;
                continue;
            }
        } else if (trySendfile) {
            n = ::sendfile(out, in, nullptr, kCopyChunk);
            if (n < 0 && (errno == EINVAL || errno == ENOSYS)) {
                trySendfile = false;
                continue;
            }
        } else {
            buffer_.resize(std::size_t{1} << 20);
            n = ::read(in, buffer_.data(), buffer_.size());
            if (n > 0 && !WriteAll(out, buffer_.data(), static_cast<std::size_t>(n))) {
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
            return Copied::Done;
        }
        copied += static_cast<std::uint64_t>(n);
        bytesDone_ = fileStart_ + std::min(copied, t.size);
        if (!Tick()) {
            return Copied::Cancelled;
        }
    }
}

Copied Mover::CopyLink(const Transfer& t, std::string& temp) {
    std::string target(4096, '\0');
    ssize_t n;
    while ((n = ::readlink(t.source, target.data(), target.size())) == static_cast<ssize_t>(target.size())) {
        target.resize(target.size() * 2);
    }
    if (n < 0) {
        lastError_ = errno;
        return Copied::Failed;
    }
    target.resize(static_cast<std::size_t>(n));
    temp = TempNameFor(t.destination);
    if (::symlink(target.c_str(), temp.c_str()) != 0) {
        lastError_ = errno;
        return Copied::Failed;
    }
    struct stat st {};
    if (::lstat(t.source, &st) == 0) {
        (void)::lchown(temp.c_str(), st.st_uid, st.st_gid);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        (void)::utimensat(AT_FDCWD, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    return Copied::Done;
}

}  // namespace

BatchMoveResult BatchMove(std::string_view sources, std::string_view destinations, Prompter& prompter,
                          ProgressSink& progress) {
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
        Transfer& t = transfers[i];
        t.source = from[i];
        t.destination = to[i];
        struct stat st {};
        if (::lstat(t.source, &st) == 0) {
            t.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
            t.isFolder = S_ISDIR(st.st_mode);
        }
    }
    return Mover(prompter, progress).Run(transfers);
}

}  // namespace stowra
