#pragma once
// The count model shared by the files that count each builder's layout: the disc's tree walked
// once, each folder's entries named and placed as xorriso (XorrisoCount.cpp), genisoimage's
// level 1 tree (Level1Count.cpp) and genisoimage's Joliet and UDF trees (JolietUdfCount.cpp) lay
// them out, with the totals in ImageSize.cpp. Only those files include it.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/ImageNames.h"
#include "image/ImagePlacement.h"
#include "image/ImageTree.h"

namespace stowra::image::count {

// Directory records of one entry. A file of 4 GiB or more is stored as several extents of
// 4 GiB - 2048 bytes, each with a record of its own in both trees.
inline std::uint64_t Sections(const TreeNode& n) {
    constexpr std::uint64_t kSingle = 0xFFFFFFFFull;
    constexpr std::uint64_t kPart = 0x100000000ull - kSector;
    if (n.folder || n.bytes <= kSingle) {
        return 1;
    }
    return 1 + CeilDiv(n.bytes - kSingle, kPart);
}

inline constexpr std::uint32_t kRelocatedLink = 12;    // CL in the stub left at a moved folder's place
inline constexpr std::uint32_t kRelocatedMark = 4;     // RE in the moved folder's record
inline constexpr std::uint32_t kRelocatedParent = 12;  // PL in the moved folder's ".."

// One entry of a directory of genisoimage's ISO tree.
struct Level1Input {
    std::string_view name;
    bool folder = false;
    std::uint32_t extra = 0;    // relocation field in the record
    bool inPathTable = false;   // a folder whose own directory is listed in the path table
    std::uint32_t symlink = 0;  // a symbolic link's record, counted with the Rock Ridge name
};

// A level 1 name (without ";1") packed for sorting and comparing: its characters big-endian in
// 16 bytes, ';' and '.' mapped below all others as genisoimage sorts them. Such names have at
// most 14 characters.
struct Level1Key {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    auto operator<=>(const Level1Key&) const = default;
};

// The first 8 bytes at `p` as one big-endian number, so that numbers compare as the bytes do.
inline std::uint64_t BigEndian(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::little) {
        v = __builtin_bswap64(v);
    }
    return v;
}

// The first 16 bytes of a name, zero-filled, as two big-endian numbers.
template <class Map>
void PackHead(const char* name, std::size_t size, std::uint64_t& high, std::uint64_t& low, Map map) {
    unsigned char b[16] = {};
    const std::size_t n = std::min<std::size_t>(size, 16);
    std::memcpy(b, name, n);
    for (std::size_t i = 0; i < n; ++i) {
        b[i] = map(b[i]);
    }
    high = BigEndian(b);
    low = BigEndian(b + 8);
}

// The names present in one directory, for choosing free counter names.
class Level1KeySet {
public:
    void Reset(std::size_t expected) {
        std::size_t capacity = 16;
        while (capacity < expected * 2) {
            capacity *= 2;
        }
        slots_.assign(capacity, Level1Key{});
        count_ = 0;
    }
    bool Contains(const Level1Key& key) const { return slots_[Find(key)] == key; }
    void Insert(const Level1Key& key) {
        if ((count_ + 1) * 2 > slots_.size()) {
            std::vector<Level1Key> old;
            old.swap(slots_);
            Reset(old.size());
            for (const Level1Key& k : old) {
                if (k != Level1Key{}) {
                    Insert(k);
                }
            }
        }
        Level1Key& slot = slots_[Find(key)];
        if (slot != key) {
            slot = key;
            ++count_;
        }
    }

private:
    std::size_t Find(const Level1Key& key) const {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = ((key.high * 0x9E3779B97F4A7C15ull) ^ (key.low * 0xC2B2AE3D27D4EB4Full)) >> 20 & mask;
        while (slots_[i] != Level1Key{} && slots_[i] != key) {
            i = (i + 1) & mask;
        }
        return i;
    }
    std::vector<Level1Key> slots_;  // an all-zero key marks a free slot
    std::size_t count_ = 0;
};

struct Level1Item {
    Level1Key key;
    bool version;  // ";1" follows (a file); names equal but for it are duplicates to genisoimage
    std::uint32_t input;
    std::uint32_t record = 0;
    std::uint32_t continuation = 0;
    std::uint32_t pathName = 0;     // length of the folder's name in the path table
    std::uint32_t run = 0;          // the run of duplicate names it belongs to, or kNoRun
    std::uint32_t worstRecord = 0;  // in a run: the larger of its records as kept and as renamed
};
inline constexpr std::uint32_t kNoRun = 0xFFFFFFFF;
inline constexpr std::uint32_t kNotShared = 0xFFFFFFFF;

class Model {
public:
    // genisoimage's layouts are always counted, xorriso's when asked.
    Model(const ImageTree& tree, bool xorriso) : tree_(tree), nodes_(tree.Nodes()), xorriso_(xorriso) {}

    void Run();
    // A part of Run for several threads: the folders from `first` up to `end` (node indices).
    // Finish then counts the files and the relocated folders once, into the model that the
    // other parts are added to.
    void RunFolders(std::uint32_t first, std::uint32_t end);
    void Finish();
    void Add(const Model& part);
    std::uint64_t Xorriso() const;
    std::uint64_t Genisoimage() const;
    std::uint64_t Udf() const;

private:
    void DecodeChildren(std::span<const std::uint32_t> children);
    std::u32string_view Decoded(std::size_t i) const {
        return std::u32string_view(decoded_).substr(decodedAt_[i], decodedAt_[i + 1] - decodedAt_[i]);
    }
    // Calls `f` with the i-th child's name: its bytes when they are all ASCII, else its code points.
    template <class F>
    void WithName(std::size_t i, F f) const {
        if (ascii_[i]) {
            f(nodes_[children_[i]].name);
        } else {
            f(Decoded(i));
        }
    }
    std::size_t NameLength(std::size_t i) const {
        return ascii_[i] ? nodes_[children_[i]].name.size() : decodedAt_[i + 1] - decodedAt_[i];
    }
    template <class Ch>
    void SortByName(const std::basic_string<Ch>& pool, std::vector<NamedEntry>& entries) const;
    void XorrisoIso(std::uint32_t folder, std::span<const std::uint32_t> children);
    void XorrisoJoliet(std::span<const std::uint32_t> children);
    void FindRelocations();
    void GenisoimageIso(std::uint32_t folder, std::span<const std::uint32_t> children);
    void GenisoimageJoliet(std::span<const std::uint32_t> children);
    void Level1Directory(std::uint64_t dots);
    bool RenameLevel1Duplicates();
    void RenameLevel1Run(std::size_t first, std::size_t last, std::uint32_t run);
    void PlaceLevel1Records(std::uint64_t dots);
    bool RunStretch(std::size_t first);

    const ImageTree& tree_;
    const std::vector<TreeNode>& nodes_;
    bool xorriso_;

    std::uint64_t dataSectors_ = 0;
    std::uint64_t files_ = 0;
    std::uint64_t xDirectories_ = 0;  // ISO and Joliet extents with continuation areas
    std::uint64_t xPathTable_ = 10;
    std::uint64_t xJolietPathTable_ = 10;
    std::uint64_t gDirectories_ = 0;
    std::uint64_t gPathTable_ = 10;
    std::uint64_t gJolietPathTable_ = 10;
    std::uint64_t udfDirectories_ = 0;
    std::uint64_t gOrderExcess_ = 0;

    std::vector<bool> relocated_;
    std::vector<std::uint32_t> relocatedFolders_;

    // Scratch buffers of one directory, reused so that a large disc allocates little.
    std::span<const std::uint32_t> children_;
    std::u32string decoded_;  // the names not all in ASCII
    std::vector<std::size_t> decodedAt_;
    std::vector<std::uint8_t> ascii_;  // of each child's name (bytes, quicker to read than bits)
    std::string narrow_;
    std::u16string wide_;
    std::u16string plainWide_;
    std::vector<NamedEntry> named_;
    // Where xorriso's Joliet name of a child is also genisoimage's: its place in wide_.
    std::vector<std::uint32_t> shared_;
    image::NameSet<char> narrowSet_;
    Level1KeySet level1Names_;
    image::NameSet<char16_t> wideSet_;
    std::vector<Level1Input> level1Inputs_;
    std::vector<Level1Item> level1Items_;
    std::vector<std::size_t> runEnd_;
    std::vector<bool> runVaries_;
    std::size_t stretchEnd_ = 0;
    std::vector<std::uint64_t> records_;
    std::vector<std::uint64_t> parts_;
};

}  // namespace stowra::image::count
