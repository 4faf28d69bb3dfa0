#pragma once
// The file inventory: every unit and member file of one scan. Items are allocated in chunks and
// never move, so the references held by groups, media and file lists stay valid until Clear().

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace stowra {

struct GroupInfo;

struct FileItem {
    static constexpr std::uint8_t Placed = 1;  // on a medium
    static constexpr std::uint8_t Member = 2;  // belongs to a group unit, never packed alone
    static constexpr std::uint8_t Group = 4;   // a group unit; link.group is its GroupInfo

    std::uint8_t flags = 0;
    // What the packing counts: the true size in sectors, or the largest 32-bit count when it does
    // not fit, so that such a unit is always oversized rather than packed by its low bits.
    std::uint32_t sectors = 0;
    // The true size in sectors (a group unit: the sum of its members), for the running totals and
    // for every size shown.
    std::uint64_t fullSectors = 0;
    union {
        FileItem* nextMember;  // member file: the next member of its group, or null
        GroupInfo* group;      // group unit
    } link{nullptr};
    const char* pathData = nullptr;  // relative to the source folder, no leading delimiter
    std::uint32_t pathSize = 0;

    std::string_view path() const { return {pathData, pathSize}; }
    bool IsGroup() const { return (flags & Group) != 0; }
    bool IsMember() const { return (flags & Member) != 0; }
    bool IsPlaced() const { return (flags & Placed) != 0; }
};

struct GroupInfo {
    FileItem* first = nullptr;
    std::uint32_t count = 0;
};

// Calls `f` with every file of these units: a group unit's members, any other unit itself.
template <class F>
void ForEachFile(const std::vector<FileItem*>& units, F f) {
    for (const FileItem* unit : units) {
        if (unit->IsGroup()) {
            for (const FileItem* m = unit->link.group->first; m != nullptr; m = m->link.nextMember) {
                f(m);
            }
        } else {
            f(unit);
        }
    }
}

class FileInventory {
public:
    FileInventory();
    ~FileInventory();
    FileInventory(const FileInventory&) = delete;
    FileInventory& operator=(const FileInventory&) = delete;

    // Creates an item with a copy of the path and appends it to the order.
    FileItem* Append(std::uint8_t flags, std::uint64_t sectors, std::string_view path);
    GroupInfo* NewGroupInfo();

    std::vector<FileItem*>& Items() { return order_; }
    const std::vector<FileItem*>& Items() const { return order_; }
    std::size_t size() const { return order_.size(); }
    bool empty() const { return order_.empty(); }
    FileItem* operator[](std::size_t i) const { return order_[i]; }

    void Clear();

    // Sum of the sectors of every collected file (group units add nothing). Kept in 64 bits so
    // that trees above 8 TiB still pack.
    std::uint64_t totalSectors = 0;
    // Number of collected files (plain and member files; group units are not files).
    std::uint64_t fileCount = 0;
    // Symbolic links the walk met and left where they are.
    std::uint64_t skippedLinks = 0;
    // Files and folders whose names the system's code page cannot spell (Windows), left in place.
    std::uint64_t skippedNames = 0;
    std::uint64_t skippedCopies = 0;  // unfinished copies a killed move left, never packed
    std::uint64_t folderCount = 0;    // folders the walk has entered, the top one included

private:
    const char* StorePath(std::string_view path);

    static constexpr std::size_t kItemsPerChunk = 4096;
    static constexpr std::size_t kTextChunk = 1 << 20;

    std::vector<FileItem*> order_;
    std::vector<std::unique_ptr<FileItem[]>> itemChunks_;
    std::size_t itemsInLastChunk_ = kItemsPerChunk;
    std::vector<std::unique_ptr<GroupInfo[]>> groupChunks_;
    std::size_t groupsInLastChunk_ = kItemsPerChunk;
    std::vector<std::unique_ptr<char[]>> textChunks_;
    std::size_t textUsed_ = kTextChunk;
};

}  // namespace stowra
