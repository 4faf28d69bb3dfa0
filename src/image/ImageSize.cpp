#include "image/ImageSize.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "image/ImageNames.h"
#include "image/ImagePlacement.h"
#include "image/ImageTree.h"
#include "platform/Text.h"

namespace stowra {

namespace {

using image::CeilDiv;
using image::Continuation;
using image::Even;
using image::Extent;
using image::ImageTree;
using image::kSector;
using image::NamedEntry;
using image::SectorsOf;
using image::TreeNode;

// Directory records of one entry. A file of 4 GiB or more is stored as several extents of
// 4 GiB - 2048 bytes, each with a record of its own in both trees.
std::uint64_t Sections(const TreeNode& n) {
    constexpr std::uint64_t kSingle = 0xFFFFFFFFull;
    constexpr std::uint64_t kPart = 0x100000000ull - kSector;
    if (n.folder || n.bytes <= kSingle) {
        return 1;
    }
    return 1 + CeilDiv(n.bytes - kSingle, kPart);
}

// A directory record of genisoimage's ISO tree: System Use fields stay in the record while they
// fit a fixed budget; the first that does not and all after it go to the continuation area.
struct Level1Record {
    std::uint32_t record;
    std::uint32_t continuation;
};

constexpr std::uint32_t kRelocatedLink = 12;    // CL in the stub left at a moved folder's place
constexpr std::uint32_t kRelocatedMark = 4;     // RE in the moved folder's record
constexpr std::uint32_t kRelocatedParent = 12;  // PL in the moved folder's ".."

Level1Record Level1RecordOf(std::uint64_t nameSize, std::uint64_t nameBytes, std::uint32_t extra) {
    constexpr std::uint64_t kBudget = 156;
    constexpr std::uint64_t kNameKept = 146;
    std::uint64_t used = 5;  // RR
    std::uint64_t moved = 0;
    bool over = false;
    if (used + 5 + nameBytes <= kBudget) {
        used += 5 + nameBytes;
    } else {
        used += 5 + kNameKept;
        moved += 5 + (nameBytes - kNameKept);
        over = true;
    }
    for (std::uint64_t field : {std::uint64_t{36}, std::uint64_t{26}, std::uint64_t{extra}}) {
        if (field == 0) {
            continue;
        }
        if (!over && used + field <= kBudget) {
            used += field;
        } else {
            over = true;
            moved += field;
        }
    }
    const std::uint64_t systemUse = used + (over ? 28 : 0);  // CE
    return {static_cast<std::uint32_t>(Even(Even(33 + nameSize) + systemUse)),
            static_cast<std::uint32_t>(moved)};
}

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
std::uint64_t BigEndian(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::little) {
        v = __builtin_bswap64(v);
    }
    return v;
}

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

Level1Key PackLevel1(std::string_view name) {
    Level1Key key;
    PackHead(name.data(), name.size(), key.high, key.low, [](unsigned char c) {
        return static_cast<unsigned char>(c == ';' ? 1 : c == '.' ? 2 : c);
    });
    return key;
}

// Characters of a packed name, '.' restored; returns their number.
std::size_t UnpackLevel1(const Level1Key& key, char (&out)[16]) {
    std::size_t n = 0;
    for (; n < 16; ++n) {
        const auto c = static_cast<char>(((n < 8 ? key.high : key.low) >> (56 - 8 * (n % 8))) & 0xFF);
        if (c == 0) {
            break;
        }
        out[n] = c == 2 ? '.' : c;
    }
    return n;
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
constexpr std::uint32_t kNoRun = 0xFFFFFFFF;
constexpr std::uint32_t kNotShared = 0xFFFFFFFF;

class Model {
public:
    // genisoimage's layouts are always counted, xorriso's when asked.
    Model(const ImageTree& tree, bool xorriso) : tree_(tree), nodes_(tree.Nodes()), xorriso_(xorriso) {}

    void Run();
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

void Model::Run() {
    for (const TreeNode& n : nodes_) {
        if (!n.folder) {
            dataSectors_ += SectorsOf(n.bytes);
            ++files_;
        }
    }
    FindRelocations();
    for (std::uint32_t f = 0; f < nodes_.size(); ++f) {
        if (!nodes_[f].folder) {
            continue;
        }
        const auto children = tree_.Children(f);
        DecodeChildren(children);
        if (xorriso_) {
            XorrisoIso(f, children);
            XorrisoJoliet(children);
        }
        GenisoimageIso(f, children);
        GenisoimageJoliet(children);
    }
    if (!relocatedFolders_.empty()) {
        level1Inputs_.clear();
        for (std::uint32_t f : relocatedFolders_) {
            level1Inputs_.push_back({nodes_[f].name, true, kRelocatedMark, true});
        }
        Level1Directory(102 + 102);
    }
}

std::uint64_t Model::Xorriso() const {
    const std::uint64_t tables =
        19 + xDirectories_ + 2 * SectorsOf(xPathTable_) + 2 * SectorsOf(xJolietPathTable_);
    // File data starts at sector 32 at the earliest, after one zero sector that empty files use.
    return std::max<std::uint64_t>(tables, 32) + 1 + dataSectors_ + 150;
}

std::uint64_t Model::Genisoimage() const {
    // Directories whose size depends on the listing order are counted for the worst order: the
    // file systems list in orders of their own (hashed, reverse creation, creation), and the
    // move creates a disc's files in an order of its own, so no order can be assumed.
    return 20 + 2 * Even(SectorsOf(gPathTable_)) + 2 * Even(SectorsOf(gJolietPathTable_)) + gDirectories_ +
           gOrderExcess_ + 1  // the Rock Ridge extension reference
           + dataSectors_ + 150;
}

std::uint64_t Model::Udf() const {
    // Recognition sequence, two descriptor sequences, integrity, anchors and file set: 240
    // sectors; then one file entry per folder and file, and each folder's identifiers.
    return Genisoimage() + 240 + udfDirectories_ + files_;
}

bool IsAscii(std::string_view bytes) {
    std::uint64_t bits = 0;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        bits |= word;
    }
    for (; i < bytes.size(); ++i) {
        bits |= static_cast<unsigned char>(bytes[i]);
    }
    return (bits & 0x8080808080808080ull) == 0;
}

void Model::DecodeChildren(std::span<const std::uint32_t> children) {
    children_ = children;
    decoded_.clear();
    decodedAt_.clear();
    ascii_.clear();
    for (std::uint32_t c : children) {
        decodedAt_.push_back(decoded_.size());
        const bool ascii = IsAscii(nodes_[c].name);
        if (!ascii) {
            image::AppendDecodedName(nodes_[c].name, decoded_);
        }
        ascii_.push_back(ascii);
    }
    decodedAt_.push_back(decoded_.size());
}

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
        const bool folder = nodes_[children[i]].folder;
        WithName(i, [&](auto name) { image::AppendLevel3Name(name, folder, narrow_); });
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

// genisoimage keeps the ISO tree at most 8 levels deep: a folder that would be deeper moves to
// /rr_moved (at level 1), leaving a stub behind, and its subtree counts from level 2 again.
void Model::FindRelocations() {
    std::vector<std::uint8_t> depth(nodes_.size(), 0);
    relocated_.assign(nodes_.size(), false);
    for (std::uint32_t f = 1; f < nodes_.size(); ++f) {
        if (!nodes_[f].folder) {
            continue;
        }
        const unsigned d = depth[nodes_[f].parent] + 1u;
        if (d >= 8) {
            relocated_[f] = true;
            relocatedFolders_.push_back(f);
            depth[f] = 2;
        } else {
            depth[f] = static_cast<std::uint8_t>(d);
        }
    }
}

void Model::GenisoimageIso(std::uint32_t folder, std::span<const std::uint32_t> children) {
    level1Inputs_.clear();
    for (std::uint32_t c : children) {
        const TreeNode& n = nodes_[c];
        if (n.folder && relocated_[c]) {
            level1Inputs_.push_back({n.name, true, kRelocatedLink, false});
        } else {
            level1Inputs_.push_back({n.name, n.folder, 0, n.folder, n.symlink});
        }
    }
    const bool root = folder == ImageTree::kRoot;
    if (root && !relocatedFolders_.empty()) {
        level1Inputs_.push_back({"rr_moved", true, 0, true});
    }
    std::uint64_t dots = 102 + 102;
    if (root) {
        dots = 136 + 102;  // "." also holds SP and the CE of the extension reference
    } else if (relocated_[folder]) {
        dots = 102 + 102 + kRelocatedParent;
    }
    Level1Directory(dots);
}

void Model::Level1Directory(std::uint64_t dots) {
    level1Items_.clear();
    for (std::size_t i = 0; i < level1Inputs_.size(); ++i) {
        const Level1Input& in = level1Inputs_[i];
        // The name is written straight in its packed form: its '.' is the 2 that PackLevel1 makes
        // of it, and it has no ';' before the ";1" left out.
        unsigned char key[16] = {};
        const std::size_t keySize = image::Level1Chars(in.name, in.folder, 2, reinterpret_cast<char*>(key));
        const std::size_t size = keySize + (in.folder ? 0 : 2);
        const Level1Record r = Level1RecordOf(size, in.name.size() + in.symlink, in.extra);
        level1Items_.push_back({Level1Key{BigEndian(key), BigEndian(key + 8)}, !in.folder,
                                static_cast<std::uint32_t>(i), r.record, r.continuation,
                                static_cast<std::uint32_t>(size), kNoRun, r.record});
    }
    const auto less = [&](const Level1Item& a, const Level1Item& b) {
        if (a.key != b.key) {
            return a.key < b.key;
        }
        if (a.version != b.version) {
            return b.version;
        }
        return level1Inputs_[a.input].name < level1Inputs_[b.input].name;
    };
    std::sort(level1Items_.begin(), level1Items_.end(), less);
    if (RenameLevel1Duplicates()) {
        std::sort(level1Items_.begin(), level1Items_.end(), less);
    }
    PlaceLevel1Records(dots);
}

// genisoimage keeps the name of the member of a run of equal names that the folder listing
// returns first and renames the others to five characters of the name, a three-character counter
// and the extension. Which member lands at which name depends on the listing order, which is not
// known here (it differs between file systems), so each member also gets the larger of its two
// possible records, for counting the run's places in any order (PlaceLevel1Records).
bool Model::RenameLevel1Duplicates() {
    std::uint32_t runs = 0;
    runVaries_.clear();
    for (std::size_t i = 0; i < level1Items_.size();) {
        std::size_t j = i;
        while (j + 1 < level1Items_.size() && level1Items_[j + 1].key == level1Items_[i].key) {
            ++j;
        }
        if (j > i) {
            if (runs == 0) {
                level1Names_.Reset(level1Items_.size());
                for (const Level1Item& it : level1Items_) {
                    level1Names_.Insert(it.key);
                }
            }
            RenameLevel1Run(i, j, runs++);
        }
        i = j + 1;
    }
    return runs > 0;
}

void Model::RenameLevel1Run(std::size_t first, std::size_t last, std::uint32_t run) {
    bool anyFile = false;
    for (std::size_t k = first; k <= last; ++k) {
        anyFile = anyFile || level1Items_[k].version;
    }
    char name[16];
    const std::size_t size = UnpackLevel1(level1Items_[first].key, name);
    const std::size_t dot = std::min<std::size_t>(std::find(name, name + size, '.') - name, size);
    const std::size_t stem = std::min<std::size_t>(dot, 5);
    // The renamed entries take the ";1" of the kept one, file or folder.
    const std::uint64_t version = anyFile ? 2 : 0;
    const std::uint64_t keptSize = size + version;
    const std::uint64_t renamedSize = stem + 3 + (size - dot) + version;

    static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::uint64_t counter = 0;
    const Level1Input& head = level1Inputs_[level1Items_[first].input];
    bool varies = false;
    for (std::size_t k = first; k <= last; ++k) {
        Level1Item& it = level1Items_[k];
        const Level1Input& in = level1Inputs_[it.input];
        const Level1Record kept = Level1RecordOf(keptSize, in.name.size() + in.symlink, in.extra);
        const Level1Record renamed = Level1RecordOf(renamedSize, in.name.size() + in.symlink, in.extra);
        it.record = k == first ? kept.record : renamed.record;
        it.worstRecord = std::max(kept.record, renamed.record);
        it.pathName = static_cast<std::uint32_t>(std::max(keptSize, renamedSize));
        it.run = run;
        it.version = anyFile;
        varies = varies || in.name.size() + in.symlink != head.name.size() + head.symlink ||
                 in.extra != head.extra;
        if (k == first) {
            continue;
        }
        Level1Key key;
        do {
            // A stem of at most 5 characters, the counter and the extension with its dot.
            char candidate[32];
            std::copy_n(name, stem, candidate);
            std::uint64_t v = counter++;
            const std::size_t digits = v >= 36 * 36 * 36 ? 4 : 3;
            for (std::size_t d = stem + digits; d > stem; --d, v /= 36) {
                candidate[d - 1] = kDigits[v % 36];
            }
            std::copy_n(name + dot, size - dot, candidate + stem + digits);
            key = PackLevel1(std::string_view(candidate, stem + digits + size - dot));
        } while (level1Names_.Contains(key));
        level1Names_.Insert(key);
        it.key = key;
    }
    runVaries_.push_back(varies);
}

// Places the records in name order. The stretch from the first to the last place of a renamed run
// (runs that overlap merged) holds its members in the listing's order; where their records differ,
// that order matters. Each such directory adds to the disc's allowance for it the excess of a
// bound for the worst order (see Extent::AddInAnyOrder) over the name order.
void Model::PlaceLevel1Records(std::uint64_t dots) {
    runEnd_.assign(runVaries_.size(), 0);
    for (std::size_t i = 0; i < level1Items_.size(); ++i) {
        if (level1Items_[i].run != kNoRun) {
            runEnd_[level1Items_[i].run] = i;
        }
    }
    Extent named(true, dots), worst(true, dots);
    Continuation namedParts(true, 0), worstParts(true, 0);
    for (std::size_t i = 0; i < level1Items_.size();) {
        const bool varies = level1Items_[i].run != kNoRun && RunStretch(i);
        const std::size_t end = level1Items_[i].run != kNoRun ? stretchEnd_ : i;
        for (; i <= end; ++i) {
            const Level1Item& it = level1Items_[i];
            named.Add(it.record);
            namedParts.Add(it.continuation);
            if (!varies) {
                worst.Add(it.record);
                worstParts.Add(it.continuation);
            }
        }
        if (varies) {
            worst.AddInAnyOrder(records_);
            worstParts.AddInAnyOrder(parts_);
        }
    }
    for (const Level1Item& it : level1Items_) {
        if (level1Inputs_[it.input].inPathTable) {
            gPathTable_ += 8 + Even(it.pathName);
        }
    }
    const std::uint64_t inNameOrder = named.Sectors() + namedParts.Sectors();
    gDirectories_ += inNameOrder;
    gOrderExcess_ += std::max(worst.Sectors() + worstParts.Sectors(), inNameOrder) - inNameOrder;
}

// Finds the stretch of places that starts at `first` with a renamed run: its last place goes to
// stretchEnd_, each member's larger record to records_ and its continuation to parts_. Returns
// whether the order inside matters, that is whether a run in it has members of different records.
bool Model::RunStretch(std::size_t first) {
    std::size_t end = runEnd_[level1Items_[first].run];
    bool varies = false;
    records_.clear();
    parts_.clear();
    for (std::size_t i = first; i <= end; ++i) {
        const Level1Item& it = level1Items_[i];
        if (it.run != kNoRun) {
            end = std::max(end, runEnd_[it.run]);
            varies = varies || runVaries_[it.run];
        }
        records_.push_back(it.worstRecord);
        if (it.continuation > 0) {
            parts_.push_back(it.continuation);
        }
    }
    stretchEnd_ = end;
    return varies;
}

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

// The builders write every name in UTF-8 (Rock Ridge, Joliet and UDF alike, and the 8.3 names
// are made of its bytes), so names in another code page are counted as their UTF-8 form.
class Utf8Entries {
public:
    explicit Utf8Entries(std::span<const ImageEntry> entries) : entries_(entries) {
        if constexpr (kNativeCodepage != Codepage::Utf8) {
            converted_.assign(entries.begin(), entries.end());
            for (ImageEntry& e : converted_) {
                if (!IsAscii(e.path)) {
                    texts_.push_back(ToUtf8(e.path));
                    e.path = texts_.back();
                }
            }
            entries_ = converted_;
        }
    }
    std::span<const ImageEntry> Entries() const { return entries_; }

private:
    static std::string ToUtf8(std::string_view native) {
        std::string utf8;
#ifdef _WIN32
        if (AnsiToUtf8(native, utf8)) {
            return utf8;
        }
        // Character by character: a byte that is no character stays as it is, and counts as one
        // '_' as a byte that is not UTF-8 does.
        utf8.clear();
        std::string piece;
        for (std::size_t i = 0; i < native.size();) {
            const std::size_t n =
                IsLeadByte(static_cast<unsigned char>(native[i]), kNativeCodepage) && i + 1 < native.size()
                    ? 2
                    : 1;
            if (AnsiToUtf8(native.substr(i, n), piece)) {
                utf8 += piece;
            } else {
                utf8.append(native.substr(i, n));
            }
            i += n;
        }
#else
        utf8 = native;
#endif
        return utf8;
    }

    std::span<const ImageEntry> entries_;
    std::vector<ImageEntry> converted_;
    std::deque<std::string> texts_;  // keeps each text in place while views point into it
};

}  // namespace

namespace image {

BuilderSectors EachBuilderSectors(std::span<const ImageEntry> input) {
    const Utf8Entries utf8(input);
    const ImageTree tree(utf8.Entries());
    Model model(tree, true);
    model.Run();
    return {model.Xorriso(), model.Genisoimage(), model.Udf()};
}

}  // namespace image

std::uint64_t ImageSectors(FileSystem layout, std::span<const ImageEntry> entries) {
    if (layout != FileSystem::Iso9660 && layout != FileSystem::Udf) {
        std::uint64_t sectors = 0;
        for (const ImageEntry& e : entries) {
            sectors += e.folder ? 0 : SectorsOf(e.bytes);
        }
        return sectors;
    }
    const Utf8Entries utf8(entries);
    const ImageTree tree(utf8.Entries());
    Model model(tree, layout == FileSystem::Iso9660);
    model.Run();
    if (layout == FileSystem::Udf) {
        return model.Udf();
    }
    return std::max(model.Xorriso(), model.Genisoimage());
}

bool ParseFileSystem(std::string_view text, FileSystem& out) {
    for (FileSystem fs : {FileSystem::None, FileSystem::Iso9660, FileSystem::Udf}) {
        if (text == FileSystemName(fs)) {
            out = fs;
            return true;
        }
    }
    return false;
}

const char* FileSystemName(FileSystem fs) {
    switch (fs) {
        case FileSystem::Iso9660:
            return "iso9660";
        case FileSystem::Udf:
            return "udf";
        case FileSystem::None:
            break;
    }
    return "none";
}

}  // namespace stowra
