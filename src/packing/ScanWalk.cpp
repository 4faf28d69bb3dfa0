// The scan's walk on one thread: each folder is listed when the walk reaches it.
#include "packing/ScanWalk.h"

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

#include "platform/Text.h"

namespace stowra::scan_walk {

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

namespace {

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
        inventory_.folderCount += 1;
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

}  // namespace

bool WalkOnOneThread(const std::string& folder, const ScanInput& input, FileInventory& inventory,
                     const std::function<bool()>& cancelled) {
    return Collector(input, inventory, cancelled).Run(folder);
}

}  // namespace stowra::scan_walk
