#pragma once
// A temporary folder tree for tests: real folders and real (sparse) files, removed afterwards,
// including folders a test made unreadable.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace stowra::test {

class TempTree {
public:
    TempTree();
    // Under a folder of the caller's choosing instead of the system's temporary folder.
    explicit TempTree(const std::string& parent);
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // Root path, without a trailing delimiter.
    const std::string& Root() const { return root_; }
    std::string Path(std::string_view relative) const;

    // Creates the folders on the way.
    void Folder(std::string_view relative) const;
    // A sparse file of `size` bytes (holes read as zeros).
    void File(std::string_view relative, std::uint64_t size) const;
    // A file with the given content.
    void Write(std::string_view relative, std::string_view content) const;
    std::string Read(std::string_view relative) const;
    void Link(std::string_view relative, const std::string& target) const;
    // An entry of the system's own kind: a FIFO on Linux, a file with the system attribute on
    // Windows. The attribute filter leaves it out unless system entries are asked for.
    void SystemEntry(std::string_view relative) const;
    bool Exists(std::string_view relative) const;

private:
    std::string root_;
};

// The scan stamp ("yyyymmdd-hhnnss", local time) of a moment.
std::string StampAt(std::time_t t);

// Removes a tree, first giving back permissions a test took away.
void RemoveTree(const std::string& path);

}  // namespace stowra::test
