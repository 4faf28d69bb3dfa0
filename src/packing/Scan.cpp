#include <cerrno>
#include <optional>
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

std::uint64_t SectorsOf(std::uint64_t size, std::uint32_t cluster) {
    return size / cluster + (size % cluster != 0 ? 1 : 0);
}

// One folder being walked; the walk keeps these on an explicit stack, so the depth of the tree
// never reaches the call stack.
struct Level {
    Folder folder;  // closed for all but the deepest levels, reopened when needed
    FolderId id;
    DirListing listing;
    std::size_t next = 0;     // next entry of the listing to handle
    std::size_t start = 0;    // inventory length when this folder was entered
    std::size_t relSize = 0;  // length of the relative folder text of this level
    bool sawFolder = false;
};

// Only the deepest levels keep their folder open, so a deep tree never runs out of descriptors;
// a shallower level is reopened by name, from the nearest open one above it, when the walk
// returns to it and needs to enter another of its subfolders.
constexpr std::size_t kOpenLevels = 16;

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
        root_ = root;
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
                auto child = OpenChild(name);
                if (child && visited_.insert(child->Id()).second) {
                    rel_.append(name);
                    rel_.push_back(kPathDelimiter);
                    Enter(std::move(*child));
                }
                // A folder already walked (a bind mount of a folder above) is not collected
                // twice, and can never start an endless walk.
            } else if (e.size > minSize_) {
                std::size_t relSize = rel_.size();
                rel_.append(name);
                std::uint64_t sectors = SectorsOf(e.size, cluster_);
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
        level.id = folder.Id();
        level.folder = std::move(folder);
        level.folder.List(filter_, level.listing);  // an unlistable folder contributes nothing
        inventory_.skippedLinks += level.listing.SkippedLinks();
        levels_.push_back(std::move(level));
        CloseShallowLevels(kOpenLevels);
    }

    void CloseShallowLevels(std::size_t keep) {
        if (levels_.size() > keep) {
            for (std::size_t i = levels_.size() - keep; i-- > 0 && levels_[i].folder.IsOpen();) {
                levels_[i].folder = Folder();
            }
        }
    }

    // Opens a subfolder of the deepest level, reopening that level first when it was closed.
    std::optional<Folder> OpenChild(std::string_view name) {
        if (!Reopen(levels_.size() - 1)) {
            return std::nullopt;
        }
        auto child = levels_.back().folder.OpenChild(name);
        if (!child && (errno == EMFILE || errno == ENFILE)) {
            // Descriptors held elsewhere in the process: give back every level but this one.
            CloseShallowLevels(1);
            child = levels_.back().folder.OpenChild(name);
        }
        return child;
    }

    bool Reopen(std::size_t index) {
        if (levels_[index].folder.IsOpen()) {
            return true;
        }
        std::size_t from = index;
        while (from > 0 && !levels_[from - 1].folder.IsOpen()) {
            --from;
        }
        std::optional<Folder> walk;
        if (from == 0) {
            walk = Folder::Open(root_);
            if (!walk || walk->Id() != levels_[0].id) {
                return false;
            }
            from = 1;
        }
        for (std::size_t i = from; i <= index; ++i) {
            std::size_t begin = levels_[i - 1].relSize;
            std::string_view name(rel_.data() + begin, levels_[i].relSize - begin - 1);
            const Folder& parent = walk ? *walk : levels_[i - 1].folder;
            std::optional<Folder> next = parent.OpenChild(name);
            // A folder renamed or replaced meanwhile is not the one whose listing we hold.
            if (!next || next->Id() != levels_[i].id) {
                return false;
            }
            walk = std::move(next);
        }
        levels_[index].folder = std::move(*walk);
        return true;
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
    std::string root_;
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
    if (state.inventory.skippedLinks > 0) {
        log.Insert(Format("シンボリックリンク %llu 個は対象外です（元の場所に残ります）\n",
                          static_cast<unsigned long long>(state.inventory.skippedLinks)));
    }
    log.Repaint();

    PackMedia(input, state, window);
    return true;
}

}  // namespace stowra
