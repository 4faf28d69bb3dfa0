// genisoimage's Joliet directory and UDF identifiers of one folder (genisoimage -J --joliet-long,
// and with -udf).

#include <algorithm>
#include <functional>
#include <string_view>

#include "image/ImageCount.h"

namespace stowra::image::count {

namespace {

// genisoimage sorts its Joliet directories by the names as they are on disk, not as they are
// written: ';' before everything, then byte order. Names equal up to a ';' that both have there
// are equal to it, and end up in the folder listing's order.
int JolietSourceCompare(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) {
            if (a[i] == ';' || b[i] == ';') {
                return a[i] == ';' ? -1 : 1;
            }
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
        }
        if (a[i] == ';') {
            return 0;
        }
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}
}  // namespace

// genisoimage's Joliet directory and the UDF identifiers of one folder.
void Model::GenisoimageJoliet(std::span<const std::uint32_t> children) {
    plainWide_.clear();
    named_.clear();
    std::uint64_t identifiers = 40;  // the parent's File Identifier Descriptor
    for (std::size_t i = 0; i < children.size(); ++i) {
        const auto offset = static_cast<std::uint32_t>(plainWide_.size());
        if (i < shared_.size() && shared_[i] != kNotShared) {
            plainWide_.append(std::u16string_view(wide_).substr(shared_[i], NameLength(i)));
        } else {
            WithName(i, [&](auto name) { image::AppendPlainJolietName(name, plainWide_); });
        }
        const auto size = static_cast<std::uint32_t>(plainWide_.size() - offset);
        named_.push_back({offset, size, children[i], nodes_[children[i]].folder});
        // OSTA compressed Unicode: 8 bits a character unless one needs more.
        const auto name = std::u16string_view(plainWide_).substr(offset, size);
        const bool wide =
            !ascii_[i] && std::any_of(name.begin(), name.end(), [](char16_t c) { return c >= 0x100; });
        identifiers += (38 + 1 + (wide ? 2 : 1) * std::uint64_t{size} + 3) / 4 * 4;
    }
    udfDirectories_ += 1 + SectorsOf(identifiers);  // File Entry and identifiers

    // Sorted by the names on disk; their first 16 bytes decide most comparisons. Nothing after a
    // ';' counts, and the ';' itself is 0, below every other byte.
    for (NamedEntry& e : named_) {
        const std::string_view head = nodes_[e.node].name.substr(0, 16);
        const std::size_t semicolon = head.find(';');
        if (head.size() == 16 && semicolon == std::string_view::npos) {
            e.head = BigEndian(reinterpret_cast<const unsigned char*>(head.data()));
            e.next = BigEndian(reinterpret_cast<const unsigned char*>(head.data()) + 8);
        } else {
            PackHead(head.data(), std::min(head.size(), semicolon), e.head, e.next,
                     [](unsigned char c) { return c; });
        }
    }
    const auto compare = [&](const NamedEntry& a, const NamedEntry& b) {
        if (a.head != b.head || a.next != b.next) {
            return a.head != b.head ? (a.head < b.head ? -1 : 1) : (a.next < b.next ? -1 : 1);
        }
        return JolietSourceCompare(nodes_[a.node].name, nodes_[b.node].name);
    };
    std::sort(named_.begin(), named_.end(), [&](const NamedEntry& a, const NamedEntry& b) {
        const int c = compare(a, b);
        return c != 0 ? c < 0 : nodes_[a.node].name < nodes_[b.node].name;
    });
    Extent named(true, 34 + 34), worst(true, 34 + 34);
    for (std::size_t i = 0; i < named_.size();) {
        std::size_t j = i;
        while (j + 1 < named_.size() && compare(named_[i], named_[j + 1]) == 0) {
            ++j;
        }
        records_.clear();
        for (std::size_t k = i; k <= j; ++k) {
            const NamedEntry& e = named_[k];
            records_.push_back(34 + 2 * std::uint64_t{e.size});
            named.Add(records_.back());
            if (e.folder) {
                gJolietPathTable_ += 8 + 2 * std::uint64_t{e.size};
            }
        }
        if (std::adjacent_find(records_.begin(), records_.end(), std::not_equal_to<>()) != records_.end()) {
            worst.AddInAnyOrder(records_);
        } else {
            for (std::uint64_t r : records_) {
                worst.Add(r);
            }
        }
        i = j + 1;
    }
    gDirectories_ += named.Sectors();
    gOrderExcess_ += std::max(worst.Sectors(), named.Sectors()) - named.Sectors();
}

}  // namespace stowra::image::count
