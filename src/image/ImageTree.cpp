#include "image/ImageTree.h"

#include <cstring>
#include <functional>
#include <unordered_map>

namespace stowra::image {

namespace {

struct ChildKey {
    std::uint32_t parent;
    std::string_view name;
    bool operator==(const ChildKey&) const = default;
};

struct ChildKeyHash {
    std::size_t operator()(const ChildKey& k) const {
        return std::hash<std::string_view>{}(k.name) ^
               (static_cast<std::size_t>(k.parent) * 0x9E3779B97F4A7C15ull);
    }
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
    explicit Builder(std::vector<TreeNode>& nodes) : nodes_(nodes) {
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
            auto it = byPath_.find(p);
            if (it != byPath_.end()) {
                folder = it->second;
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
            byPath_.emplace(*p, folder);
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
        auto [it, added] =
            byName_.try_emplace(ChildKey{parent, name}, static_cast<std::uint32_t>(nodes_.size()));
        if (added) {
            nodes_.push_back(TreeNode{name, 0, parent, true});
        }
        return it->second;
    }

    std::vector<TreeNode>& nodes_;
    std::unordered_map<std::string_view, std::uint32_t> byPath_;
    std::unordered_map<ChildKey, std::uint32_t, ChildKeyHash> byName_;
    std::vector<std::string_view> pending_;
    std::string_view lastPath_;
    std::uint32_t lastFolder_ = 0;
};

}  // namespace

ImageTree::ImageTree(std::span<const ImageEntry> entries) {
    nodes_.reserve(entries.size() + 1);
    {
        Builder builder(nodes_);
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
