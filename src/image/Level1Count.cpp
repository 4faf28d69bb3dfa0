// The level 1 (8.3) ISO 9660 tree with Rock Ridge that genisoimage -r makes of one folder: the
// relocation of folders below the eighth level, the renaming of duplicate 8.3 names, and the
// allowance for the listing order where a renamed run's records differ.

#include <algorithm>
#include <string_view>

#include "image/ImageCount.h"

namespace stowra::image::count {

namespace {

// A directory record of genisoimage's ISO tree: System Use fields stay in the record while they
// fit a fixed budget; the first that does not and all after it go to the continuation area.
struct Level1Record {
    std::uint32_t record;
    std::uint32_t continuation;
};
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
}  // namespace

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

}  // namespace stowra::image::count
