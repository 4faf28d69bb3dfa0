#pragma once
// What the scan's two walks share: the walk on one thread (ScanWalk.cpp) and the walk on several
// threads (ParallelScanWalk.cpp) turn the same listed entries into the same inventory units.

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "packing/FileInventory.h"
#include "packing/ScanSession.h"
#include "platform/Folder.h"
#include "platform/Text.h"

namespace stowra::scan_walk {

struct FolderIdHash {
    std::size_t operator()(const FolderId& id) const noexcept {
        return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

inline std::uint64_t SectorsOf(std::uint64_t size, std::uint32_t cluster) {
    return size / cluster + (size % cluster != 0 ? 1 : 0);
}

// The walk takes a folder's names in the order of their Unicode code points, which is UTF-8's
// byte order and so the listing's own on Linux. In another code page the bytes sort otherwise
// (code page 932 puts 予 after 貼, and half-width kana after every kanji), and the walk's order
// decides which of equal files goes onto which disc and the order of a group's members: the same
// tree packs the same discs on every system. Empty: the listing's order.
std::vector<std::uint32_t> CodePointOrder(const DirListing& listing);

// What both walks share: turning listed entries into inventory units, in walk order.
class UnitBuilder {
protected:
    UnitBuilder(const ScanInput& input, FileInventory& inventory)
        : inventory_(inventory),
          filter_{(input.options & OptionFlags::IncludeHidden) != 0,
                  (input.options & OptionFlags::IncludeSystem) != 0, false, true},
          leaf_((input.options & OptionFlags::LeafFolderGrouping) != 0),
          subfolder_((input.options & OptionFlags::SubfolderGrouping) != 0),
          minSize_(static_cast<std::uint32_t>(input.minSize)),
          cluster_(static_cast<std::uint32_t>(input.profile.Cluster)) {}

    void AddFile(std::string_view name, std::uint64_t size) {
        if (size <= minSize_) {
            return;
        }
        std::size_t relSize = rel_.size();
        rel_.append(name);
        std::uint64_t sectors = SectorsOf(size, cluster_);
        inventory_.Append(0, sectors, rel_);
        rel_.resize(relSize);
        inventory_.totalSectors += sectors;
        inventory_.fileCount += 1;
    }

    // The folder whose files start at inventory position `start` is left: group them when the
    // grouping option says so.
    void FinishFolder(std::size_t start, bool sawFolder) {
        if (inventory_.size() > start) {
            bool makeGroup = false;
            if (leaf_) {
                makeGroup = !sawFolder;
            } else if (subfolder_) {
                makeGroup = CountDelimiters(rel_, kPathDelimiter, kNativeCodepage) == 1;
            }
            if (makeGroup) {
                FormGroup(start);
            }
        }
    }

    void FormGroup(std::size_t start) {
        auto& items = inventory_.Items();
        std::uint64_t sum = 0;
        for (std::size_t i = start; i < items.size(); ++i) {
            items[i]->flags |= FileItem::Member;
            items[i]->link.nextMember = i + 1 < items.size() ? items[i + 1] : nullptr;
            sum += items[i]->fullSectors;
        }
        GroupInfo* info = inventory_.NewGroupInfo();
        info->first = items[start];
        info->count = static_cast<std::uint32_t>(items.size() - start);
        FileItem* unit = inventory_.Append(FileItem::Group, sum, rel_);
        unit->link.group = info;
    }

    FileInventory& inventory_;
    AttributeFilter filter_;
    bool leaf_;
    bool subfolder_;
    std::uint64_t minSize_;
    std::uint32_t cluster_;
    std::string rel_;
    std::unordered_set<FolderId, FolderIdHash> visited_;
};

// The walks; both return false when cancelled.
bool WalkOnOneThread(const std::string& folder, const ScanInput& input, FileInventory& inventory,
                     const std::function<bool()>& cancelled);
bool WalkOnThreads(const std::string& folder, const ScanInput& input, FileInventory& inventory,
                   const std::function<bool()>& cancelled, unsigned threads);

}  // namespace stowra::scan_walk
