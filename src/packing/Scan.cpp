#include <limits>
#include <unordered_set>

#include "packing/ScanSession.h"
#include "platform/Folder.h"
#include "platform/Text.h"

namespace stowra {

void ScanState::Clear() {
    fileList.clear();
    fileList.shrink_to_fit();
    result.Clear();
    inventory.Clear();
}

namespace {

struct FolderIdHash {
    std::size_t operator()(const FolderId& id) const noexcept {
        return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

std::uint32_t SectorsOf(std::uint64_t size, std::uint32_t cluster) {
    std::uint64_t sectors = size / cluster + (size % cluster != 0 ? 1 : 0);
    // A count that does not fit 32 bits is held as the largest one, so the file is always
    // oversized rather than packed by its low bits.
    return sectors > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                               : static_cast<std::uint32_t>(sectors);
}

// One folder being walked; the walk keeps these on an explicit stack, so the depth of the tree
// never reaches the call stack.
struct Level {
    Folder folder;
    DirListing listing;
    std::size_t next = 0;     // next entry of the listing to handle
    std::size_t start = 0;    // inventory length when this folder was entered
    std::size_t relSize = 0;  // length of the relative folder text of this level
    bool sawFolder = false;
};

class Collector {
public:
    Collector(const ScanInput& input, FileInventory& inventory)
        : inventory_(inventory),
          filter_{(input.options & OptionFlags::IncludeHidden) != 0,
                  (input.options & OptionFlags::IncludeSystem) != 0},
          leaf_((input.options & OptionFlags::LeafFolderGrouping) != 0),
          subfolder_((input.options & OptionFlags::SubfolderGrouping) != 0),
          minSize_(static_cast<std::uint32_t>(input.minSize)),
          cluster_(static_cast<std::uint32_t>(input.profile.Cluster)) {}

    void Run(const std::string& root) {
        auto folder = Folder::Open(root);
        if (!folder) {
            return;
        }
        Enter(std::move(*folder));
        while (!levels_.empty()) {
            Level& level = levels_.back();
            const auto& entries = level.listing.Entries();
            if (level.next == entries.size()) {
                Leave();
                continue;
            }
            const DirListing::Entry& e = entries[level.next++];
            std::string_view name = level.listing.Name(e);
            if (e.kind == EntryKind::Folder) {
                level.sawFolder = true;
                auto child = level.folder.OpenChild(name);
                if (child && visited_.insert(child->Id()).second) {
                    rel_.append(name);
                    rel_.push_back(kPathDelimiter);
                    Enter(std::move(*child));
                }
                // A folder already walked (reached again through a link) is not collected twice,
                // and a link back to an ancestor can never start an endless walk.
            } else if (e.size > minSize_) {
                std::size_t relSize = rel_.size();
                rel_.append(name);
                std::uint32_t sectors = SectorsOf(e.size, cluster_);
                inventory_.Append(0, sectors, rel_);
                rel_.resize(relSize);
                inventory_.totalSectors += sectors;
                inventory_.fileCount += 1;
            }
        }
    }

private:
    void Enter(Folder folder) {
        visited_.insert(folder.Id());
        Level level;
        level.start = inventory_.size();
        level.relSize = rel_.size();
        level.folder = std::move(folder);
        level.folder.List(filter_, level.listing);  // an unlistable folder contributes nothing
        levels_.push_back(std::move(level));
    }

    void Leave() {
        Level& level = levels_.back();
        if (inventory_.size() > level.start) {
            bool makeGroup = false;
            if (leaf_) {
                makeGroup = !level.sawFolder;
            } else if (subfolder_) {
                makeGroup = CountDelimiters(rel_, kPathDelimiter, kNativeCodepage) == 1;
            }
            if (makeGroup) {
                FormGroup(level.start);
            }
        }
        levels_.pop_back();
        if (!levels_.empty()) {
            rel_.resize(levels_.back().relSize);
        }
    }

    void FormGroup(std::size_t start) {
        auto& items = inventory_.Items();
        std::uint64_t sum = 0;
        for (std::size_t i = start; i < items.size(); ++i) {
            items[i]->flags |= FileItem::Member;
            items[i]->link.nextMember = i + 1 < items.size() ? items[i + 1] : nullptr;
            sum += items[i]->sectors;
        }
        GroupInfo* info = inventory_.NewGroupInfo();
        info->first = items[start];
        info->count = static_cast<std::uint32_t>(items.size() - start);
        std::uint32_t sectors = sum > std::numeric_limits<std::uint32_t>::max()
                                    ? std::numeric_limits<std::uint32_t>::max()
                                    : static_cast<std::uint32_t>(sum);
        FileItem* unit = inventory_.Append(FileItem::Group, sectors, rel_);
        unit->link.group = info;
    }

    FileInventory& inventory_;
    AttributeFilter filter_;
    bool leaf_;
    bool subfolder_;
    std::uint64_t minSize_;
    std::uint32_t cluster_;
    std::string rel_;
    std::vector<Level> levels_;
    std::unordered_set<FolderId, FolderIdHash> visited_;
};

}  // namespace

void CollectFiles(const std::string& folder, const ScanInput& input, FileInventory& inventory) {
    Collector(input, inventory).Run(folder);
}

bool RunScan(const ScanInput& input, ScanState& state, ScanWindow& window) {
    if (!FolderExists(input.sourceFolder)) {
        window.Messages().Ask("入力フォルダが見つかりません", "", MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    if (std::string problem = ProfileProblem(input.profile); !problem.empty()) {
        window.Messages().Ask(problem, "", MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    window.ClearResults();
    LogPane& log = window.Log();
    log.SetColor(LogColor::WindowText);
    log.Insert("ファイル情報を収集しています・・・\n");
    log.Repaint();

    state.sourceRoot = AddTrailingBackslash(input.sourceFolder);
    state.profile = input.profile;
    state.inventory.totalSectors = 0;
    CollectFiles(state.sourceRoot, input, state.inventory);

    log.Clear();
    log.Insert(Format(
        "対象ファイル数 = %llu （サイズ = %s）\n", static_cast<unsigned long long>(state.inventory.fileCount),
        SizeText(state.inventory.totalSectors, static_cast<std::uint32_t>(input.profile.Cluster)).c_str()));
    log.Repaint();

    PackMedia(input, state, window);
    return true;
}

}  // namespace stowra
