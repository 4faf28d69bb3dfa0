#pragma once
// Directory listing with the attribute filter the scan and the cleanup rely on.
//
// On Linux the Windows attributes are stood in for: hidden = the name starts with a dot;
// system = neither a regular file nor a folder (FIFO, socket, device). Symbolic links are never
// followed: a link's data would not be on the disc, and a link to a folder elsewhere would take
// files the user never chose. They are counted, and listed only when asked for.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace stowra {

enum class EntryKind : std::uint8_t { File, Folder };

struct AttributeFilter {
    bool includeHidden = false;
    bool includeSystem = false;
    bool includeLinks = false;  // list symbolic links themselves (as files), e.g. to see a folder's content
    // Leave out (and count) the unfinished copies a killed move left: never data of the user's.
    bool leaveOutCopies = false;
};

// Identity of a folder (or file) on disk: its device and inode, or on Windows its volume serial
// number and file index. A walk tells by it a folder it has already entered; a move tells its
// source from its destination however each is spelt.
struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FolderId&) const = default;
};

// One listing of a folder: names packed into one buffer, entries pointing into it.
class DirListing {
public:
    struct Entry {
        std::uint32_t nameOffset;
        std::uint32_t nameSize;
        EntryKind kind;
        bool isLink;  // the name is a symbolic link, listed as a file, never followed
        std::uint64_t size;
    };

    std::string_view Name(const Entry& e) const { return {names_.data() + e.nameOffset, e.nameSize}; }
    const std::vector<Entry>& Entries() const { return entries_; }
    // Symbolic links that passed the filter but were left out (filter without includeLinks).
    std::uint64_t SkippedLinks() const { return skippedLinks_; }
    void CountSkippedLink() { ++skippedLinks_; }
    // Entries left out because the system's code page cannot spell their names (Windows: a name
    // the ANSI functions would only give with '?' or a look-alike in place of some character).
    std::uint64_t SkippedNames() const { return skippedNames_; }
    void CountSkippedName() { ++skippedNames_; }
    // Unfinished copies of a killed move that were left out (filter with leaveOutCopies).
    std::uint64_t SkippedCopies() const { return skippedCopies_; }
    void CountSkippedCopy() { ++skippedCopies_; }
    void Clear();
    void Add(std::string_view name, EntryKind kind, bool isLink, std::uint64_t size);
    void SortByName();

private:
    std::string names_;
    std::vector<Entry> entries_;
    std::uint64_t skippedLinks_ = 0;
    std::uint64_t skippedNames_ = 0;
    std::uint64_t skippedCopies_ = 0;
};

// An open folder handle (RAII). Children are opened relative to it, so deep trees never
// build long path texts for the operating system.
class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // Both leave errno set when they fail (EMFILE when the process has no descriptor left).
    static std::optional<Folder> Open(const std::string& path);
    std::optional<Folder> OpenChild(std::string_view name) const;
    // Opens a folder by its path below this one (names joined by the delimiter, no trailing
    // one); a path longer than the system takes at once is opened a folder at a time.
    std::optional<Folder> OpenBelow(std::string_view relative) const;

    FolderId Id() const { return id_; }
#ifdef _WIN32
    bool IsOpen() const {
        return !path_.empty();
    }
#else
    bool IsOpen() const {
        return fd_ >= 0;
    }
#endif

    // Lists the entries (without "." and "..") that pass the filter, in name order.
    // Returns false when the folder cannot be listed; the listing is then empty.
    bool List(const AttributeFilter& filter, DirListing& out) const;

private:
#ifdef _WIN32
    // Windows lists a folder by its path; the path is kept with its trailing delimiter.
    Folder(std::string path, FolderId id) : path_(std::move(path)), id_(id) {}
    std::string path_;
#else
    explicit Folder(int fd);
    int fd_ = -1;
#endif
    FolderId id_;
};

bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);
// Anything at all stands at the path (a link is not followed).
bool PathExists(const std::string& path);

// Creates the folder and every missing folder above it, by the system's own functions, which take
// the path's bytes as they are. True when the folder was made or something of that name stands
// there already (what it is, the caller finds out when it opens it); false, with the system's
// error (errno, GetLastError) telling why, when a folder on the way cannot be made.
bool MakeFolders(const std::string& path);

// Creates a folder that must not exist yet: a folder this program takes over as it stands could be
// a link planted by someone else.
enum class NewFolder { Created, Exists, Failed };
NewFolder CreateNewFolder(const std::string& path);

// Opens a new file for writing ("wb"); nullptr when the name exists already, even as a symbolic link
// (so nothing is ever written through a link), or cannot be created.
std::FILE* CreateNewFile(const std::string& path);

struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime NowLocal();

}  // namespace stowra
