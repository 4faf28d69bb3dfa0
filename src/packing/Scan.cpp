#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "packing/ScanSession.h"
#include "platform/Folder.h"
#include "platform/Text.h"
#include "platform/Translation.h"

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

// The walk takes a folder's names in the order of their Unicode code points, which is UTF-8's
// byte order and so the listing's own on Linux. In another code page the bytes sort otherwise
// (code page 932 puts 予 after 貼, and half-width kana after every kanji), and the walk's order
// decides which of equal files goes onto which disc and the order of a group's members: the same
// tree packs the same discs on every system. Empty: the listing's order.
std::vector<std::uint32_t> CodePointOrder(const DirListing& listing) {
    std::vector<std::uint32_t> order;
#ifdef _WIN32
    const auto& entries = listing.Entries();
    const bool ascii = std::all_of(entries.begin(), entries.end(), [&](const DirListing::Entry& e) {
        const std::string_view name = listing.Name(e);
        return std::all_of(name.begin(), name.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    });
    if (ascii) {
        return order;
    }
    std::vector<std::string> keys(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string_view name = listing.Name(entries[i]);
        if (!AnsiToUtf8(name, keys[i])) {
            keys[i] = std::string(name);
        }
    }
    order.resize(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<std::uint32_t>(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
#else
    (void)listing;
#endif
    return order;
}

// One folder being walked; the walk keeps these on an explicit stack, so the depth of the tree
// never reaches the call stack.
struct Level {
    Folder folder;  // closed for all but the deepest levels, reopened when needed
    FolderId id;
    DirListing listing;
    std::vector<std::uint32_t> order;  // CodePointOrder of the listing
    std::size_t next = 0;              // next entry of the listing to handle
    std::size_t start = 0;             // inventory length when this folder was entered
    std::size_t relSize = 0;           // length of the relative folder text of this level
    bool sawFolder = false;
};

// Only the deepest levels keep their folder open, so a deep tree never runs out of descriptors;
// a shallower level is reopened by name, from the nearest open one above it, when the walk
// returns to it and needs to enter another of its subfolders.
constexpr std::size_t kOpenLevels = 16;

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

// The walk on one thread: each folder is listed when the walk reaches it.
class Collector : UnitBuilder {
public:
    Collector(const ScanInput& input, FileInventory& inventory, const std::function<bool()>& cancelled)
        : UnitBuilder(input, inventory), cancelled_(cancelled) {}

    // False when the walk was cancelled.
    bool Run(const std::string& root) {
        root_ = root;
        auto folder = Folder::Open(root);
        if (!folder) {
            return true;
        }
        Enter(std::move(*folder));
        std::uint32_t polls = 0;
        while (!levels_.empty()) {
            if ((polls++ & 1023) == 0 && cancelled_ && cancelled_()) {
                return false;
            }
            Level& level = levels_.back();
            const auto& entries = level.listing.Entries();
            if (level.next == entries.size()) {
                Leave();
                continue;
            }
            const std::size_t at = level.next++;
            const DirListing::Entry& e = entries[level.order.empty() ? at : level.order[at]];
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
            } else {
                AddFile(name, e.size);
            }
        }
        return true;
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
        level.order = CodePointOrder(level.listing);
        inventory_.skippedLinks += level.listing.SkippedLinks();
        inventory_.skippedNames += level.listing.SkippedNames();
        inventory_.skippedCopies += level.listing.SkippedCopies();
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
        FinishFolder(level.start, level.sawFolder);
        levels_.pop_back();
        if (!levels_.empty()) {
            rel_.resize(levels_.back().relSize);
        }
    }

    const std::function<bool()>& cancelled_;
    std::string root_;
    std::vector<Level> levels_;
};

// The walk on several threads. Helper threads list folders ahead of the walk, each on its own
// (opened by its path below the source folder, so no descriptor is held between folders); the
// walk itself visits the listings in exactly the order the one-thread walk does, and lists a
// folder itself when no helper has taken it yet. So the inventory is the same, whatever the
// number of threads.
class ParallelCollector : UnitBuilder {
public:
    ParallelCollector(const ScanInput& input, FileInventory& inventory,
                      const std::function<bool()>& cancelled, unsigned threads)
        : UnitBuilder(input, inventory), cancelled_(cancelled), threads_(threads) {}

    ~ParallelCollector() { Stop(); }

    bool Run(const std::string& root) {
        auto base = Folder::Open(root);
        if (!base) {
            return true;
        }
        base_ = std::move(*base);
        root_ = std::make_unique<Node>();
        root_->id = base_.Id();
        root_->claimed = true;
        List(*root_);
        // The walk itself mostly waits for listings, so every thread asked for lists folders.
        for (unsigned i = 0; i < threads_; ++i) {
            try {
                helpers_.emplace_back([this] { Help(); });
            } catch (const std::system_error&) {
                break;  // fewer helpers: the walk lists what they would have
            }
        }
        bool finished = Walk();
        Stop();
        return finished;
    }

private:
    struct Node {
        Node* parent = nullptr;
        std::string relText;  // relative folder text with its trailing delimiter
        FolderId id;
        bool opened = false;  // the folder could be opened (else it is left out, as unreadable)
        DirListing listing;
        std::vector<std::uint32_t> order;             // CodePointOrder of the listing
        std::vector<std::unique_ptr<Node>> children;  // one per folder entry, in the walk's order
        std::atomic<bool> claimed{false};
        std::atomic<bool> ready{false};
    };

    struct Level {
        Node* node;
        std::size_t next = 0;
        std::size_t child = 0;
        std::size_t start = 0;
        bool sawFolder = false;
    };

    // Lists one folder and queues its subfolders for the helpers.
    void List(Node& node) {
        std::string_view rel = node.relText;
        auto folder = base_.OpenBelow(rel.substr(0, rel.empty() ? 0 : rel.size() - 1));
        if (folder) {
            node.opened = true;
            node.id = folder->Id();
            // A folder that is its own ancestor (a bind mount) would never end: it is not listed,
            // and the walk skips it as already walked.
            bool loop = false;
            for (Node* up = node.parent; up != nullptr && !loop; up = up->parent) {
                loop = up->id == node.id;
            }
            if (!loop) {
                folder->List(filter_, node.listing);
                node.order = CodePointOrder(node.listing);
            }
        }
        std::vector<Node*> queued;
        const auto& entries = node.listing.Entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const DirListing::Entry& e = entries[node.order.empty() ? i : node.order[i]];
            if (e.kind != EntryKind::Folder) {
                continue;
            }
            auto child = std::make_unique<Node>();
            child->parent = &node;
            child->relText = node.relText;
            child->relText.append(node.listing.Name(e));
            child->relText.push_back(kPathDelimiter);
            queued.push_back(child.get());
            node.children.push_back(std::move(child));
        }
        {
            std::lock_guard lock(mutex_);
            // Last in, first out, first child on top: the helpers run ahead in the walk's order.
            for (auto it = queued.rbegin(); it != queued.rend(); ++it) {
                pending_.push_back(*it);
            }
            node.ready = true;
        }
        wake_.notify_all();
    }

    void Help() {
        for (;;) {
            Node* node = nullptr;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stop_ || !pending_.empty(); });
                if (stop_) {
                    return;
                }
                node = pending_.back();
                pending_.pop_back();
            }
            if (!node->claimed.exchange(true)) {
                List(*node);
            }
        }
    }

    // The listing of a node, listed here when no helper has taken it. False when cancelled.
    bool Await(Node& node) {
        if (!node.claimed.exchange(true)) {
            List(node);
            return true;
        }
        std::unique_lock lock(mutex_);
        while (!node.ready) {
            wake_.wait_for(lock, std::chrono::milliseconds(20));
            if (!node.ready && cancelled_ && cancelled_()) {
                return false;
            }
        }
        return true;
    }

    bool Walk() {
        std::vector<Level> levels;
        visited_.insert(root_->id);
        levels.push_back({root_.get(), 0, 0, inventory_.size(), false});
        std::uint32_t polls = 0;
        while (!levels.empty()) {
            if ((polls++ & 1023) == 0 && cancelled_ && cancelled_()) {
                return false;
            }
            Level& level = levels.back();
            const DirListing& listing = level.node->listing;
            const auto& entries = listing.Entries();
            if (level.next == entries.size()) {
                FinishFolder(level.start, level.sawFolder);
                inventory_.skippedLinks += listing.SkippedLinks();
                inventory_.skippedNames += listing.SkippedNames();
                inventory_.skippedCopies += listing.SkippedCopies();
                // The listing is not needed any more: give its memory back as the walk goes. The
                // node itself stays, as a helper may still hold it (queued before the walk took it).
                level.node->listing = DirListing();
                std::vector<std::uint32_t>().swap(level.node->order);
                std::string().swap(level.node->relText);
                levels.pop_back();
                if (!levels.empty()) {
                    rel_.resize(levels.back().node->relText.size());
                }
                continue;
            }
            const std::size_t at = level.next++;
            const DirListing::Entry& e = entries[level.node->order.empty() ? at : level.node->order[at]];
            if (e.kind != EntryKind::Folder) {
                AddFile(listing.Name(e), e.size);
                continue;
            }
            level.sawFolder = true;
            Node& child = *level.node->children[level.child++];
            if (!Await(child)) {
                return false;
            }
            if (child.opened && visited_.insert(child.id).second) {
                rel_ = child.relText;
                levels.push_back({&child, 0, 0, inventory_.size(), false});
            }
        }
        return true;
    }

    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            pending_.clear();
        }
        wake_.notify_all();
        for (std::thread& t : helpers_) {
            t.join();
        }
        helpers_.clear();
    }

    const std::function<bool()>& cancelled_;
    unsigned threads_;
    Folder base_;
    std::unique_ptr<Node> root_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Node*> pending_;
    bool stop_ = false;
    std::vector<std::thread> helpers_;
};

}  // namespace

bool CollectFiles(const std::string& folder, const ScanInput& input, FileInventory& inventory,
                  const std::function<bool()>& cancelled) {
    unsigned threads =
        input.threads > 0 ? static_cast<unsigned>(input.threads) : std::thread::hardware_concurrency();
    if (threads <= 1) {
        return Collector(input, inventory, cancelled).Run(folder);
    }
    return ParallelCollector(input, inventory, cancelled, threads).Run(folder);
}

bool RunScan(const ScanInput& input, ScanState& state, ScanWindow& window) {
    if (!FolderExists(input.sourceFolder)) {
        window.Messages().Ask(Tr("入力フォルダが見つかりません"), "", MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    if (std::string problem = ProfileProblem(input.profile); !problem.empty()) {
        window.Messages().Ask(problem, "", MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    window.ClearResults();
    LogPane& log = window.Log();
    log.SetColor(LogColor::WindowText);
    log.Insert(Tr("ファイル情報を収集しています・・・\n"));
    log.Repaint();

    state.sourceRoot = AddTrailingBackslash(input.sourceFolder);
    state.profile = input.profile;
    state.inventory.totalSectors = 0;
    state.cancelled = false;
    if (!CollectFiles(state.sourceRoot, input, state.inventory,
                      [&window] { return window.ScanCancelled(); })) {
        // As if no scan had run: nothing half-collected is ever packed.
        window.ClearResults();
        state.cancelled = true;
        log.SetColor(LogColor::WindowText);
        log.Insert(Tr(kScanCancelledLine));
        log.Repaint();
        return true;
    }

    log.Clear();
    log.Insert(Format(
        Tr("対象ファイル数 = %llu （サイズ = %s）\n"),
        static_cast<unsigned long long>(state.inventory.fileCount),
        SizeText(state.inventory.totalSectors, static_cast<std::uint32_t>(input.profile.Cluster)).c_str()));
    if (state.inventory.skippedLinks > 0) {
        log.Insert(Format(Tr("シンボリックリンク %llu 個は対象外です（元の場所に残ります）\n"),
                          static_cast<unsigned long long>(state.inventory.skippedLinks)));
    }
    if (state.inventory.skippedCopies > 0) {
        log.SetColor(
            LogColor::Red);  // a move into this folder was killed: its copies are no files of the user's
        log.Insert(
            Format(Tr("移動が途中で止まったときのコピー（.stowra-tmp-）%llu 個が入力フォルダにあります。"
                      "対象外です（削除してかまいません）\n"),
                   static_cast<unsigned long long>(state.inventory.skippedCopies)));
        log.SetColor(LogColor::WindowText);
    }
    if (state.inventory.skippedNames > 0) {
        log.SetColor(LogColor::Red);  // files the user expects on the discs will not be there
        log.Insert(Format(Tr("名前をこのシステムの文字コードで表せないファイル・フォルダ %llu 個は対象外です"
                             "（元の場所に残ります）\n"),
                          static_cast<unsigned long long>(state.inventory.skippedNames)));
        log.SetColor(LogColor::WindowText);
    }
    log.Repaint();

    PackMedia(input, state, window);
    return true;
}

}  // namespace stowra
