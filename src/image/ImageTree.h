#pragma once
// The folder tree of one disc, built from the relative paths of its entries. Names point into
// the callers' paths, which must outlive the tree.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "image/ImageSize.h"

namespace stowra::image {

struct TreeNode {
    std::string_view name;     // last path component; empty for the root
    std::uint64_t bytes = 0;   // file size
    std::uint32_t parent = 0;  // the root is its own parent
    bool folder = false;
    std::uint32_t symlink = 0;  // a symbolic link: the bytes of its link record
};

class ImageTree {
public:
    // Folders implied by file paths are created; empty components and "." are skipped, so
    // "a//b/" and "a/b" are the same folder.
    explicit ImageTree(std::span<const ImageEntry> entries);

    static constexpr std::uint32_t kRoot = 0;
    const std::vector<TreeNode>& Nodes() const { return nodes_; }
    std::span<const std::uint32_t> Children(std::uint32_t folder) const {
        return {children_.data() + first_[folder], children_.data() + first_[folder + 1]};
    }
    // How many entries are children of the nodes before `node` (all of them: Nodes().size()).
    std::uint32_t ChildrenBefore(std::uint32_t node) const { return first_[node]; }

private:
    std::vector<TreeNode> nodes_;  // parents come before their children
    std::vector<std::uint32_t> first_;
    std::vector<std::uint32_t> children_;
};

// The figure of each builder on its own (ImageSectors gives the layout's): xorriso and
// genisoimage for ISO 9660, genisoimage with UDF.
struct BuilderSectors {
    std::uint64_t xorriso = 0;
    std::uint64_t genisoimage = 0;
    std::uint64_t udf = 0;
};
// `oneThread`: for callers that already count several discs on every core.
BuilderSectors EachBuilderSectors(std::span<const ImageEntry> entries, bool oneThread = false);
// The same of a tree already built of entries whose names are UTF-8.
BuilderSectors EachBuilderSectors(const ImageTree& tree, bool oneThread = false);

}  // namespace stowra::image
