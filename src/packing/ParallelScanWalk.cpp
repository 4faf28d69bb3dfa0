// The scan's walk on several threads.
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

#include "packing/ScanWalk.h"
#include "platform/Text.h"

namespace stowra::scan_walk {

namespace {

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
        inventory_.folderCount += 1;
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
                inventory_.folderCount += 1;
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

bool WalkOnThreads(const std::string& folder, const ScanInput& input, FileInventory& inventory,
                   const std::function<bool()>& cancelled, unsigned threads) {
    return ParallelCollector(input, inventory, cancelled, threads).Run(folder);
}

}  // namespace stowra::scan_walk
