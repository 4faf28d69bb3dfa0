// The layout xorriso -as mkisofs -iso-level 3 -r -J --joliet-long makes of one folder: its ISO
// 9660 level 3 directory with Rock Ridge and its Joliet directory.

#include <algorithm>
#include <type_traits>

#include "image/ImageCount.h"

namespace stowra::image::count {

namespace {

// Four UTF-16 units at `p` as one number, the first unit highest.
std::uint64_t Units4(const char16_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::little) {
        v = (v << 32) | (v >> 32);
        v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
    }
    return v;
}
}  // namespace

template <class Ch>
void Model::SortByName(const std::basic_string<Ch>& pool, std::vector<NamedEntry>& entries) const {
    // The first 16 bytes of each name, big-endian, decide most comparisons without a look at the
    // names. Their characters are never 0, so shorter names sort first as they should.
    using View = std::basic_string_view<Ch>;
    constexpr std::size_t kPerWord = 8 / sizeof(Ch);
    constexpr std::size_t kBits = 8 * sizeof(Ch);
    for (NamedEntry& e : entries) {
        if constexpr (sizeof(Ch) == 1) {
            const auto* name = reinterpret_cast<const unsigned char*>(pool.data() + e.offset);
            if (e.size >= 16) {
                e.head = BigEndian(name);
                e.next = BigEndian(name + 8);
            } else {
                PackHead(pool.data() + e.offset, e.size, e.head, e.next, [](unsigned char c) { return c; });
            }
        } else if (e.size >= 2 * kPerWord) {
            e.head = Units4(pool.data() + e.offset);
            e.next = Units4(pool.data() + e.offset + 4);
        } else {
            Ch b[2 * kPerWord] = {};
            std::copy_n(pool.data() + e.offset, std::min<std::size_t>(e.size, 2 * kPerWord), b);
            std::uint64_t word[2] = {0, 0};
            for (std::size_t i = 0; i < 2 * kPerWord; ++i) {
                word[i / kPerWord] |= std::uint64_t{static_cast<std::make_unsigned_t<Ch>>(b[i])}
                                      << (64 - kBits * (i % kPerWord + 1));
            }
            e.head = word[0];
            e.next = word[1];
        }
    }
    std::sort(entries.begin(), entries.end(), [&](const NamedEntry& a, const NamedEntry& b) {
        if (a.head != b.head || a.next != b.next) {
            return a.head != b.head ? a.head < b.head : a.next < b.next;
        }
        if (a.size > 2 * kPerWord || b.size > 2 * kPerWord) {
            const int c = View(pool).substr(a.offset, a.size).compare(View(pool).substr(b.offset, b.size));
            if (c != 0) {
                return c < 0;
            }
        }
        return nodes_[a.node].name < nodes_[b.node].name;
    });
}

void Model::XorrisoIso(std::uint32_t folder, std::span<const std::uint32_t> children) {
    narrow_.clear();
    named_.clear();
    for (std::size_t i = 0; i < children.size(); ++i) {
        const auto offset = static_cast<std::uint32_t>(narrow_.size());
        const bool isFolder = nodes_[children[i]].folder;
        WithName(i, [&](auto name) { image::AppendLevel3Name(name, isFolder, narrow_); });
        named_.push_back({offset, static_cast<std::uint32_t>(narrow_.size() - offset), children[i],
                          nodes_[children[i]].folder});
    }
    SortByName(narrow_, named_);
    if (image::RenameDuplicates(narrow_, named_, image::kLevel3Limits, narrowSet_)) {
        SortByName(narrow_, named_);
    }
    const bool root = folder == ImageTree::kRoot;
    Extent extent(false, root ? 132 + 96 : 96 + 96);
    Continuation continuation(false, root ? 237 : 0);  // the root's starts with the RRIP reference
    for (const NamedEntry& e : named_) {
        const TreeNode& n = nodes_[e.node];
        const std::uint64_t id = e.size + (n.folder ? 0 : 2);  // ";1"
        const std::uint64_t d = Even(33 + id);
        const std::uint64_t nameBytes = n.name.size() + n.symlink;
        // PX, TF and NM (and a link's SL, counted as more name); when they do not fit, the record is filled
        // to 254 bytes and the rest of the name goes to the continuation area.
        std::uint64_t record = d + Even(67 + nameBytes);
        std::uint64_t part = 0;
        if (67 + nameBytes + d > 254) {
            record = 254;
            part = nameBytes + d - 154;
        }
        const std::uint64_t sections = Sections(n);
        extent.Add(record, sections);
        continuation.Add(part, sections);
        if (n.folder) {
            xPathTable_ += 8 + Even(e.size);
        }
    }
    xDirectories_ += extent.Sectors() + continuation.Sectors();
}

void Model::XorrisoJoliet(std::span<const std::uint32_t> children) {
    wide_.clear();
    named_.clear();
    shared_.clear();
    for (std::size_t i = 0; i < children.size(); ++i) {
        const auto offset = static_cast<std::uint32_t>(wide_.size());
        const bool folder = nodes_[children[i]].folder;
        WithName(i, [&](auto name) { image::AppendJolietName(name, folder, wide_); });
        const auto size = static_cast<std::uint32_t>(wide_.size() - offset);
        named_.push_back({offset, size, children[i], nodes_[children[i]].folder});
        // A name of at most 103 characters, all in the Basic Multilingual Plane, is the same in
        // genisoimage's Joliet tree.
        const std::u32string_view decoded = Decoded(i);
        const bool same = NameLength(i) <= 103 && std::none_of(decoded.begin(), decoded.end(),
                                                               [](char32_t c) { return c >= 0x10000; });
        shared_.push_back(same ? offset : kNotShared);
    }
    SortByName(wide_, named_);
    if (image::RenameDuplicates(wide_, named_, image::kJolietLimits, wideSet_)) {
        SortByName(wide_, named_);
    }
    Extent extent(false, 34 + 34);
    for (const NamedEntry& e : named_) {
        const TreeNode& n = nodes_[e.node];
        extent.Add(34 + 2 * std::uint64_t{e.size}, Sections(n));
        if (n.folder) {
            xJolietPathTable_ += 8 + 2 * std::uint64_t{e.size};
        }
    }
    xDirectories_ += extent.Sectors();
}

}  // namespace stowra::image::count
