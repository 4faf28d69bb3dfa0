#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "packing/DiscFolder.h"
#include "packing/DiscImage.h"
#include "packing/PackingSearch.h"
#include "packing/ScanSession.h"
#include "platform/Folder.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

namespace {

std::string MakeScanStamp() {
    LocalTime t = NowLocal();
    return Format("%04d%02d%02d-%02d%02d%02d", t.year % 10000, t.month, t.day, t.hour, t.minute, t.second);
}

// Largest first. Equal sizes keep their collection order, so a scan of the same tree always
// packs the same way.
// A stable radix sort on the inverted size, two 16-bit digits; a digit that is the same for every
// unit (the high one, for most trees) costs no pass.
void SortBySectors(std::vector<FileItem*>& items) {
    const std::size_t n = items.size();
    std::vector<std::uint64_t> keys(n), scratch(n);
    for (std::size_t i = 0; i < n; ++i) {
        keys[i] = (static_cast<std::uint64_t>(~items[i]->sectors) << 32) | static_cast<std::uint32_t>(i);
    }
    std::vector<std::size_t> count(1 << 16);
    for (int shift : {32, 48}) {
        std::fill(count.begin(), count.end(), 0);
        for (std::uint64_t k : keys) {
            ++count[(k >> shift) & 0xFFFF];
        }
        if (n == 0 || count[(keys[0] >> shift) & 0xFFFF] == n) {
            continue;
        }
        std::size_t sum = 0;
        for (std::size_t& c : count) {
            std::size_t here = c;
            c = sum;
            sum += here;
        }
        for (std::uint64_t k : keys) {
            scratch[count[(k >> shift) & 0xFFFF]++] = k;
        }
        keys.swap(scratch);
    }
    std::vector<FileItem*> sorted(n);
    for (std::size_t i = 0; i < n; ++i) {
        sorted[i] = items[static_cast<std::uint32_t>(keys[i])];
    }
    items.swap(sorted);
}

std::uint32_t FilesOf(const FileItem* unit) {
    return unit->IsGroup() ? unit->link.group->count : 1;
}

std::uint32_t SectorsOf(const std::vector<FileItem*>& units) {
    std::uint32_t s = 0;
    for (const FileItem* u : units) {
        s += u->sectors;
    }
    return s;
}

// A rough figure of the image of these units (profile sectors): their data, a directory record
// in each tree per file (by its name's characters) and per folder, and each folder's own
// directories. It only chooses where the capacity search tries first; a try at the whole disc
// would overshoot by the structures of every small file and folder, and be the largest count of
// the pack.
std::uint64_t RoughImageSectors(FileSystem fs, const std::vector<FileItem*>& units, std::uint32_t cluster) {
    const bool udf = fs == FileSystem::Udf;
    std::unordered_set<std::string_view> folders;
    std::uint64_t data = 0;
    std::uint64_t recordBytes = 0;
    std::uint64_t files = 0;
    std::vector<std::size_t> delimiters;
    auto add = [&](const FileItem* f) {
        // One pass over the path, character by character (a trail byte of code page 932 can equal
        // the delimiter): where its folders end, and its name's characters, not bytes, since the
        // bytes differ between the code pages and every system must pack the same discs.
        const std::string_view path = f->path();
        delimiters.clear();
        std::uint64_t name = 0;
        for (std::size_t i = 0; i < path.size(); ++i) {
            const auto c = static_cast<unsigned char>(path[i]);
            if (path[i] == kPathDelimiter) {
                delimiters.push_back(i);
                name = 0;
                continue;
            }
            ++name;
            if constexpr (kNativeCodepage == Codepage::Utf8) {
                while (i + 1 < path.size() && (static_cast<unsigned char>(path[i + 1]) & 0xC0) == 0x80) {
                    ++i;
                }
            } else if (IsLeadByte(c, kNativeCodepage) && i + 1 < path.size()) {
                ++i;
            }
        }
        data += (f->fullSectors * cluster + 2047) / 2048;
        recordBytes += udf ? 183 + 5 * name : 143 + 4 * name;
        ++files;
        for (auto d = delimiters.rbegin();
             d != delimiters.rend() && folders.insert(path.substr(0, *d)).second; ++d) {
        }
    };
    ForEachFile(units, add);
    recordBytes += folders.size() * (udf ? 340 : 300);
    const std::uint64_t sectors =
        data + (recordBytes + 2047) / 2048 + folders.size() * (udf ? 4 : 2) + (udf ? 450 + files : 200);
    return ToProfileSectors(sectors, cluster);
}

// `image`: the sectors of the disc's whole image when packed for a file system, else 0.
std::uint32_t RecordMedium(std::vector<FileItem*>&& units, const MediaProfile& profile, MediaList& media,
                           std::uint32_t image) {
    PackedMedium m;
    std::uint32_t s = SectorsOf(units);
    for (const FileItem* u : units) {
        m.files += FilesOf(u);
    }
    m.units = std::move(units);
    m.used = image != 0 ? image : s + static_cast<std::uint32_t>(profile.System);
    m.fill = static_cast<float>(static_cast<long double>(m.used) / static_cast<long double>(profile.Total));
    media.push_back(std::move(m));
    return s;
}

void WriteReport(const ScanState& state, std::uint32_t cluster, LogPane& log) {
    const PackResult& r = state.result;
    log.SetColor(LogColor::WindowText);
    log.Insert(Format(Tr("うまく詰め込めなかった残りファイル数 = %u （サイズ = %s）\n"), r.remainder.files,
                      SizeText(r.remainder.sectors, cluster).c_str()));
    if (r.media.empty()) {
        log.SetColor(LogColor::Red);
        log.Insert(
            Tr("詰め込むのに十分なサイズがありませんでした。\nまたは、うまい組み合わせが見つかりませんでした"
               "。"));
        return;
    }
    log.Insert(Tr("必要なメディア枚数 = "));
    log.SetColor(LogColor::Red);
    log.Insert(Format("%zu\n", r.media.size()));
    log.SetColor(LogColor::WindowText);
    log.Insert(Tr("平均詰め込み率 = "));
    float sum = 0.0f;
    for (const PackedMedium& m : r.media) {
        sum += m.fill;
    }
    float average = sum / static_cast<float>(r.media.size());
    log.SetColor(LogColor::Red);
    log.Insert(PercentText(average));
    log.SetColor(LogColor::WindowText);
    if (r.lowerBound > 0) {
        log.Insert(
            Format(Tr(" (スラックサイズによる下限 = %.4f %%)\n"), static_cast<double>(r.lowerBound) * 100.0));
    } else {
        log.Insert("\n");
    }
    if (r.fileSystem != FileSystem::None) {
        log.Insert(Format(Tr("ファイルシステム = %s（イメージ全体が容量に収まるように詰め込みました）\n"),
                          Tr(FileSystemCaption(r.fileSystem))));
    }
    if (r.firstPartial != 0) {
        log.Insert(
            r.firstPartial == r.media.size()
                ? Format(Tr("メディア %zu は残りのファイルをまとめたもので、満杯ではありません\n"),
                         r.firstPartial)
                : Format(Tr("メディア %zu から %zu は残りのファイルをまとめたもので、満杯ではありません\n"),
                         r.firstPartial, r.media.size()));
    }
    log.SetColor(LogColor::Blue);
    log.Insert(Tr("［対象を移動］を押すと、詰め込み対象ファイルを出力フォルダ配下へ移動できます。"));
}

// Chooses the units of the next disc: at most `limit` sectors of files and, with a file system,
// a whole image that fits the disc. The search itself is the plain one; only its capacity is
// searched for: the largest capacity whose selection's image still fits, closer than a thousandth
// of the disc. Each capacity tried brackets that one from below (fits) or above (does not); the
// next is read off the line through the last two tries (the image grows with the capacity, but
// not in proportion: the greedy search takes the large units first, the small ones with their
// many records last), halfway between the brackets when that line leads outside them.
class DiscChooser {
public:
    DiscChooser(PackingSearch& search, const MediaProfile& profile, DiscContents contents)
        : search_(search), profile_(profile), contents_(std::move(contents)) {}

    // The units taken (marked Placed), empty when nothing fits; `image` gets the image's sectors
    // in the profile's sectors (0 without a file system).
    std::vector<FileItem*> Next(std::size_t firstFit, std::uint32_t limit, std::size_t medium,
                                std::uint32_t& image) {
        image = 0;
        const FileSystem fs = profile_.fileSystem;
        if (fs == FileSystem::None) {
            return search_.SearchMedium(firstFit, limit);
        }
        const auto total = static_cast<std::uint64_t>(static_cast<std::uint32_t>(profile_.Total));
        const auto system = static_cast<std::uint64_t>(static_cast<std::uint32_t>(profile_.System));
        const std::uint64_t room = total - system;  // for the whole image
        const std::uint64_t close = total / 1000;
        // Aimed at the middle of the band that is close enough, so that a try lands in it.
        const double aim = static_cast<double>(room) - static_cast<double>(close) / 2;
        const auto cluster = static_cast<std::uint32_t>(profile_.Cluster);

        struct Try {
            std::uint64_t capacity = 0;
            std::uint64_t image = 0;  // of the selection at that capacity
            std::uint64_t files = 0;  // sectors of the selection's units
        };
        Try low;  // the best capacity that fits so far (0: nothing, which always fits)
        std::uint64_t high = std::uint64_t{limit} + 1;  // the smallest that does not
        std::optional<Try> previous;
        std::vector<FileItem*> best;
        std::uint64_t lastCapacity = 0;
        // The first capacity: the last disc's ratio of files to image, less what that ratio missed
        // by on the last disc (the units left are smaller, and carry more records, disc by disc);
        // the limit for the first disc.
        std::uint64_t capacity = limit;
        std::uint64_t estimate = 0;
        if (ratio_ > 0) {
            estimate = static_cast<std::uint64_t>(aim * ratio_);
            capacity =
                std::clamp<std::uint64_t>(estimate > drift_ ? estimate - drift_ : estimate / 2, 1, limit);
            // The units left are smaller than the last disc's, with more records per sector: the
            // rough figure, scaled to what the last disc's count made of it, follows that at a
            // fraction of a count's cost.
            for (int step = 0; step < 2 && roughScale_ > 0 && slope_ > 0; ++step) {
                const std::vector<FileItem*> guess =
                    search_.Choose(firstFit, static_cast<std::uint32_t>(capacity));
                const double rough = roughScale_ * static_cast<double>(RoughImageSectors(fs, guess, cluster));
                if (guess.empty() || std::abs(rough - aim) <= static_cast<double>(close) / 2) {
                    break;
                }
                const double next = static_cast<double>(capacity) + (aim - rough) * slope_;
                capacity =
                    std::clamp<std::uint64_t>(static_cast<std::uint64_t>(std::max(next, 1.0)), 1, limit);
            }
        } else if (const std::vector<FileItem*> all = search_.Choose(firstFit, limit); !all.empty()) {
            const auto rough = static_cast<double>(RoughImageSectors(fs, all, cluster));
            if (rough > aim) {
                capacity = std::clamp<std::uint64_t>(
                    static_cast<std::uint64_t>(aim * static_cast<double>(SectorsOf(all)) / rough), 1, limit);
            }
        }
        for (int attempt = 0; attempt < 64; ++attempt) {
            std::vector<FileItem*> chosen = search_.Choose(firstFit, static_cast<std::uint32_t>(capacity));
            lastCapacity = capacity;
            Try t{capacity, 0, SectorsOf(chosen)};
            if (!chosen.empty()) {
                t.image = ToProfileSectors(DiscImageSectors(fs, chosen, contents_, medium), cluster);
            }
            if (t.image <= room) {
                // Capacities that fit only grow: this one is the best so far.
                best = std::move(chosen);
                low = t;
                if (room - t.image <= close || capacity >= limit) {
                    break;
                }
            } else {
                high = capacity;
            }
            if (high - low.capacity <= 1) {
                break;
            }
            double slope = 0;
            if (previous && previous->image != t.image) {
                slope = (static_cast<double>(t.capacity) - static_cast<double>(previous->capacity)) /
                        (static_cast<double>(t.image) - static_cast<double>(previous->image));
                slope_ = slope > 0 ? slope : slope_;
            } else if (slope_ > 0) {
                slope = slope_;
            } else if (t.image > 0) {
                slope = static_cast<double>(t.files) / static_cast<double>(t.image);
            }
            const double next =
                static_cast<double>(t.capacity) + (aim - static_cast<double>(t.image)) * slope;
            // After a few tries on the line, every other one halves, so the search always ends.
            const bool halve = attempt >= 6 && attempt % 2 == 0;
            if (!halve && slope > 0 && next > static_cast<double>(low.capacity) &&
                next < static_cast<double>(high)) {
                capacity = static_cast<std::uint64_t>(next);
            } else {
                capacity = low.capacity + (high - low.capacity) / 2;
            }
            previous = t;
        }
        if (best.empty()) {
            return best;
        }
        if (lastCapacity != low.capacity) {
            // A later try came after: the same search again gives the same selection to take.
            best = search_.Choose(firstFit, static_cast<std::uint32_t>(low.capacity));
        }
        search_.Take(best);
        if (low.image > 0) {
            ratio_ = static_cast<double>(low.files) / static_cast<double>(low.image);
        }
        drift_ = estimate > low.capacity ? estimate - low.capacity : 0;
        if (const std::uint64_t rough = RoughImageSectors(fs, best, cluster); rough > 0) {
            roughScale_ = static_cast<double>(low.image) / static_cast<double>(rough);
        }
        image = static_cast<std::uint32_t>(std::min<std::uint64_t>(low.image, 0xFFFFFFFFu));
        return best;
    }

private:
    PackingSearch& search_;
    const MediaProfile& profile_;
    DiscContents contents_;
    double ratio_ = 0;         // sectors of files per sector of image on the last disc
    std::uint64_t drift_ = 0;  // how much that ratio's capacity was above the last disc's
    double roughScale_ = 0;    // the last disc's image per sector of its rough figure
    double slope_ = 0;         // capacity per image sector between the last two tries that differed
};

// With no file system chosen, the discs are only checked, under both file systems: in red the
// discs whose image would not fit the disc at all (with how far past Total), and apart from them
// the discs that fit but whose structures take more than the System reserve.
void WarnOfDiscsThatWouldNotFit(const ScanState& state, const MediaProfile& profile,
                                const DiscContents& contents, LogPane& log) {
    const auto total = static_cast<std::uint64_t>(static_cast<std::uint32_t>(profile.Total));
    const auto system = static_cast<std::uint64_t>(static_cast<std::uint32_t>(profile.System));
    const auto cluster = static_cast<std::uint32_t>(profile.Cluster);
    std::vector<const std::vector<FileItem*>*> discs;
    for (const PackedMedium& m : state.result.media) {
        discs.push_back(&m.units);
    }
    struct Count {
        FileSystem fs;
        std::size_t over = 0;       // the image exceeds Total
        std::uint64_t largest = 0;  // by this much at most
        std::size_t inReserve = 0;  // within Total, but past Total - System
    };
    Count counts[] = {{FileSystem::Iso9660}, {FileSystem::Udf}};
    for (const DiscLayouts& d : DiscImagesBothLayouts(discs, contents)) {
        for (Count& c : counts) {
            const std::uint64_t image =
                ToProfileSectors(c.fs == FileSystem::Udf ? d.udf : d.iso9660, cluster);
            if (image > total) {
                ++c.over;
                c.largest = std::max(c.largest, image - total);
            } else if (image + system > total) {
                ++c.inReserve;
            }
        }
    }
    bool any = false;
    for (const Count& c : counts) {
        if (c.over > 0) {
            log.SetColor(LogColor::Red);
            log.Insert(Format(Tr("\n%zu 枚のメディアは、ファイルシステム（%s）を含めると総サイズを最大 %llu "
                                 "セクタ超え、書き込めません。"),
                              c.over, Tr(FileSystemCaption(c.fs)),
                              static_cast<unsigned long long>(c.largest)));
            any = true;
        }
        if (c.inReserve > 0) {
            log.SetColor(LogColor::WindowText);
            log.Insert(
                Format(Tr("\n%zu 枚のメディアは、ファイルシステム（%s）を含めても総サイズに収まりますが、"
                          "システムサイズの余裕を使い切ります。"),
                       c.inReserve, Tr(FileSystemCaption(c.fs))));
            any = true;
        }
    }
    if (any) {
        log.SetColor(LogColor::Red);
        log.Insert(
            Tr("\n［編集］でメディア設定を開き、「ファイルシステム」を選ぶと、収まるように詰め込めます。"));
    }
}

}  // namespace

float SlackLowerBound(const MediaProfile& profile) {
    std::uint32_t capacity =
        static_cast<std::uint32_t>(profile.Total) - static_cast<std::uint32_t>(profile.System);
    std::uint32_t slack = static_cast<std::uint32_t>(profile.Slack);
    // A slack larger than the room for files would wrap around and discard every medium.
    if (slack > capacity) {
        return 0.0f;
    }
    return static_cast<float>(static_cast<long double>(capacity - slack) /
                              static_cast<long double>(static_cast<std::uint32_t>(profile.Total)));
}

void PackMedia(const ScanInput& input, ScanState& state, ScanWindow& window) {
    const MediaProfile& profile = input.profile;
    state.scanStamp = MakeScanStamp();
    auto& items = state.inventory.Items();
    SortBySectors(items);

    PackResult& result = state.result;
    result.Clear();
    state.packedOptions = input.options;
    const std::uint32_t capacity =
        static_cast<std::uint32_t>(profile.Total) - static_cast<std::uint32_t>(profile.System);
    std::uint64_t remainingTotal = state.inventory.totalSectors;
    std::size_t firstFit = 0;
    while (firstFit < items.size() && items[firstFit]->sectors > capacity) {
        if (!items[firstFit]->IsMember()) {
            // The true size: a capped one would leave the rest counted as still to pack.
            remainingTotal -= std::min<std::uint64_t>(remainingTotal, items[firstFit]->fullSectors);
        }
        ++firstFit;
    }

    PackingSearch search(items);
    DiscContents contents{static_cast<std::uint32_t>(profile.Cluster),
                          (input.options & OptionFlags::WriteIndex) != 0, state.scanStamp,
                          (input.options & OptionFlags::WriteChecksums) != 0};
    DiscChooser chooser(search, profile, contents);
    result.fileSystem = profile.fileSystem;
    std::uint32_t image = 0;
    std::uint32_t minUsed = capacity;
    while (remainingTotal >= capacity) {
        std::vector<FileItem*> units = chooser.Next(firstFit, capacity, result.media.size() + 1, image);
        if (units.empty()) {
            break;
        }
        std::uint32_t s = RecordMedium(std::move(units), profile, result.media, image);
        minUsed = std::min(minUsed, s);
        remainingTotal -= std::min<std::uint64_t>(remainingTotal, s);
    }
    // The rest is then smaller than a medium and the search takes all of it. With a file system
    // it takes all that fits, and what the structures left over is again a last medium when it
    // is not smaller than every medium filled so far.
    while (remainingTotal >= minUsed && remainingTotal > 0) {
        std::uint32_t rest = static_cast<std::uint32_t>(std::min<std::uint64_t>(remainingTotal, capacity));
        std::vector<FileItem*> units = chooser.Next(firstFit, rest, result.media.size() + 1, image);
        if (units.empty()) {
            break;
        }
        remainingTotal -= std::min<std::uint64_t>(
            remainingTotal, RecordMedium(std::move(units), profile, result.media, image));
        if (profile.fileSystem == FileSystem::None) {
            break;
        }
    }

    // Asked for, the rest goes onto last discs however little they hold: a folder the size of
    // one disc is archived whole. Each takes what fits of what is left, so the loop ends.
    if ((input.options & OptionFlags::LastDisc) != 0) {
        while (remainingTotal > 0) {
            const std::uint32_t rest =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(remainingTotal, capacity));
            std::vector<FileItem*> units = chooser.Next(firstFit, rest, result.media.size() + 1, image);
            if (units.empty()) {
                break;
            }
            if (result.firstPartial == 0) {
                result.firstPartial = result.media.size() + 1;
            }
            remainingTotal -= std::min<std::uint64_t>(
                remainingTotal, RecordMedium(std::move(units), profile, result.media, image));
        }
    }

    if ((input.options & OptionFlags::UseSlack) != 0) {
        result.lowerBound = SlackLowerBound(profile);
        const PackedMedium* partial =
            result.firstPartial == 0 ? nullptr : &result.media[result.firstPartial - 1];
        const std::size_t partials =
            result.firstPartial == 0 ? 0 : result.media.size() - result.firstPartial + 1;
        auto kept = std::remove_if(result.media.begin(), result.media.end(), [&](PackedMedium& m) {
            // The last discs were asked for as they are; the bound is for the full ones.
            if (m.fill >= result.lowerBound || (partial != nullptr && &m >= partial)) {
                return false;
            }
            for (FileItem* u : m.units) {
                u->flags &= static_cast<std::uint8_t>(~FileItem::Placed);
            }
            return true;
        });
        result.media.erase(kept, result.media.end());
        if (partials > 0) {
            result.firstPartial = result.media.size() - partials + 1;  // they stayed, at the end
        }
    }

    for (FileItem* item : items) {
        if ((item->flags & (FileItem::Placed | FileItem::Member)) == 0) {
            result.remainder.units.push_back(item);
            result.remainder.sectors += item->fullSectors;
            result.remainder.files += FilesOf(item);
        }
    }

    if (!result.media.empty()) {
        window.ShowResult();
    }
    WriteReport(state, static_cast<std::uint32_t>(profile.Cluster), window.Log());
    if (profile.fileSystem == FileSystem::None) {
        WarnOfDiscsThatWouldNotFit(state, profile, contents, window.Log());
    }
    if (!result.media.empty()) {
        window.SetMoveEnabled(true);
    }
}

}  // namespace stowra
