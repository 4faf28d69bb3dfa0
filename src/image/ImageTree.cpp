#include "image/ImageTree.h"

#include <cstring>
#include <functional>
#include <vector>

namespace stowra::image {

namespace {

// A node's index under a key of its path or of its parent and name, by open addressing: a disc's
// tree is built anew for every count of a pack, and a map's allocation per folder would cost
// more than the rest of the build.
class NodeIndex {
public:
    explicit NodeIndex(std::size_t expected) {
        std::size_t size = 64;
        while (size < 2 * expected) {
            size *= 2;
        }
        slots_.resize(size);
    }

    // The node under the key, or kNone.
    std::uint32_t Find(std::uint32_t parent, std::string_view name) const {
        const std::size_t hash = Hash(parent, name);
        for (std::size_t i = hash & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
            const Slot& s = slots_[i];
            if (s.node == kNone) {
                return kNone;
            }
            if (s.hash == hash && s.parent == parent && s.name == name) {
                return s.node;
            }
        }
    }

    // The key's node; `node` when the key was new.
    std::uint32_t Add(std::uint32_t parent, std::string_view name, std::uint32_t node) {
        if (2 * (used_ + 1) > slots_.size()) {
            Grow();
        }
        const std::size_t hash = Hash(parent, name);
        for (std::size_t i = hash & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
            Slot& s = slots_[i];
            if (s.node == kNone) {
                s = {hash, name, parent, node};
                ++used_;
                return node;
            }
            if (s.hash == hash && s.parent == parent && s.name == name) {
                return s.node;
            }
        }
    }

    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

private:
    struct Slot {
        std::size_t hash = 0;
        std::string_view name;
        std::uint32_t parent = 0;
        std::uint32_t node = kNone;
    };

    static std::size_t Hash(std::uint32_t parent, std::string_view name) {
        return std::hash<std::string_view>{}(name) ^
               (static_cast<std::size_t>(parent) * 0x9E3779B97F4A7C15ull);
    }

    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        used_ = 0;
        for (const Slot& s : old) {
            if (s.node != kNone) {
                Add(s.parent, s.name, s.node);
            }
        }
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

std::string_view WithoutTrailingDelimiters(std::string_view path) {
    while (!path.empty() && path.back() == '/') {
        path.remove_suffix(1);
    }
    return path;
}

// Splits "head/name" at the last delimiter; a path without one has an empty head.
void Split(std::string_view path, std::string_view& head, std::string_view& name) {
    const std::size_t slash = path.rfind('/');
    head = slash == std::string_view::npos ? std::string_view()
                                           : WithoutTrailingDelimiters(path.substr(0, slash));
    name = slash == std::string_view::npos ? path : path.substr(slash + 1);
}

class Builder {
public:
    Builder(std::vector<TreeNode>& nodes, std::size_t entries)
        : nodes_(nodes), byPath_(entries / 8), byName_(entries / 8) {
        nodes_.push_back(TreeNode{{}, 0, 0, true});
    }

    // The folder a path names, created with its ancestors when new.
    std::uint32_t Folder(std::string_view path) {
        if (path.empty()) {
            return 0;
        }
        if (path == lastPath_) {
            return lastFolder_;
        }
        std::uint32_t folder = 0;
        pending_.clear();
        for (std::string_view p = path; !p.empty();) {
            const std::uint32_t known = byPath_.Find(0, p);
            if (known != NodeIndex::kNone) {
                folder = known;
                break;
            }
            pending_.push_back(p);
            std::string_view name;
            Split(p, p, name);
        }
        for (auto p = pending_.rbegin(); p != pending_.rend(); ++p) {
            std::string_view head, name;
            Split(*p, head, name);
            folder = Child(folder, name);
            byPath_.Add(0, *p, folder);
        }
        lastPath_ = path;
        lastFolder_ = folder;
        return folder;
    }

    void AddFile(std::string_view path, std::uint64_t bytes, std::uint32_t symlink) {
        path = WithoutTrailingDelimiters(path);
        std::string_view head, name;
        std::uint32_t parent = 0;
        // Files come mostly folder by folder: a path that is the last folder, one delimiter and
        // a name needs no search for its last delimiter nor a look-up of its folder.
        const std::size_t n = lastPath_.size();
        if (n > 0 && path.size() > n + 1 && path[n] == '/' && path.starts_with(lastPath_) &&
            std::memchr(path.data() + n + 1, '/', path.size() - n - 1) == nullptr) {
            name = path.substr(n + 1);
            parent = lastFolder_;
        } else {
            Split(path, head, name);
            parent = Folder(head);
        }
        nodes_.push_back(
            TreeNode{name.empty() ? std::string_view("_") : name, bytes, parent, false, symlink});
    }

private:
    std::uint32_t Child(std::uint32_t parent, std::string_view name) {
        if (name.empty() || name == ".") {
            return parent;
        }
        const auto next = static_cast<std::uint32_t>(nodes_.size());
        const std::uint32_t node = byName_.Add(parent, name, next);
        if (node == next) {
            nodes_.push_back(TreeNode{name, 0, parent, true});
        }
        return node;
    }

    std::vector<TreeNode>& nodes_;
    NodeIndex byPath_;  // folders by their whole path (parent 0)
    NodeIndex byName_;  // folders by parent and name
    std::vector<std::string_view> pending_;
    std::string_view lastPath_;
    std::uint32_t lastFolder_ = 0;
};

}  // namespace

ImageTree::ImageTree(std::span<const ImageEntry> entries) {
    nodes_.reserve(entries.size() + 1);
    {
        Builder builder(nodes_, entries.size());
        for (const ImageEntry& e : entries) {
            if (e.folder) {
                builder.Folder(WithoutTrailingDelimiters(e.path));
            } else {
                builder.AddFile(e.path, e.symlink > 0 ? 0 : e.bytes, e.symlink);
            }
        }
    }
    first_.assign(nodes_.size() + 1, 0);
    for (std::size_t i = 1; i < nodes_.size(); ++i) {
        ++first_[nodes_[i].parent + 1];
    }
    for (std::size_t i = 1; i < first_.size(); ++i) {
        first_[i] += first_[i - 1];
    }
    children_.resize(nodes_.size() - 1);
    std::vector<std::uint32_t> next(first_.begin(), first_.end() - 1);
    for (std::size_t i = 1; i < nodes_.size(); ++i) {
        children_[next[nodes_[i].parent]++] = static_cast<std::uint32_t>(i);
    }
}

}  // namespace stowra::image
