#pragma once
// What the files of the batch move on Linux share: the rename path (batch_move_posix.cpp), the copy
// to another file system (batch_move_copy_posix.cpp) and the removal of a killed move's copies
// (stale_copies_posix.cpp).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/BatchMove.h"
#include "platform/batch_move_common.h"

namespace stowra::posix_move {

inline constexpr std::size_t kCopyChunk = std::size_t{8} << 20;

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

// rename that never replaces an existing entry (see batch_move_posix.cpp).
int RenameNew(int fromDir, const char* from, int toDir, const char* to);
// The name in the open folder is a folder (a link is not followed).
bool IsFolder(int dir, const char* name);

// Removes the stale copies directly in the open folder, collecting its subfolders when asked;
// returns how many.
std::uint64_t RemoveStaleCopiesAt(int dirFd, std::vector<std::string>* subfolders = nullptr);

// A copy under its temporary name, with what it was copied from.
struct Copy {
    std::string temp;
    UniqueFd lock;          // keeps the copy locked (see RemoveIfStale) until it has its final name
    struct stat source {};  // the source as it was when the copy began
};

enum class Source { Same, Changed, Gone, Unknown };

class Mover : MoverBase {
public:
    Mover(Prompter& prompter, ProgressSink& progress, std::string_view ownFolder, CopyTap* tap)
        : MoverBase(prompter, progress, tap), own_(ownFolder) {}
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

}  // namespace stowra::posix_move
