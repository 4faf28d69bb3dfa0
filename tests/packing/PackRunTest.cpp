#include <gtest/gtest.h>

#include <ctime>

#include "packing/ScanSession.h"
#include "platform/Text.h"
#include "support/Recorders.h"
#include "support/TempTree.h"
#include "support/WorkedExample.h"

namespace stowra {
namespace {

using Sizes = std::vector<std::uint32_t>;

// Puts plain units of the given sizes into the window's inventory, as a scan would.
void Fill(test::RecordingWindow& w, const Sizes& sizes) {
    for (std::uint32_t s : sizes) {
        w.state.inventory.Append(0, s, "f" + std::to_string(s));
        w.state.inventory.totalSectors += s;
        w.state.inventory.fileCount += 1;
    }
}

ScanInput Input(MediaProfile profile, bool useSlack = false) {
    ScanInput in;
    in.profile = profile;
    in.options = useSlack ? OptionFlags::UseSlack : 0;
    return in;
}

Sizes SizesOf(const UnitRecord& r) {
    Sizes sizes;
    for (const FileItem* u : r.units) sizes.push_back(u->sectors);
    return sizes;
}

std::vector<Sizes> MediaSizes(const ScanState& s) {
    std::vector<Sizes> out;
    for (const auto& m : s.result.media) out.push_back(SizesOf(m));
    return out;
}

const MediaProfile kTen{2048, 12, 2, 1};  // capacity 10
const MediaProfile kCdR{2048, 359850, 256, 3840};

// The local time of each second from `from` to `to`, as a scan stamp shows it.
std::vector<std::string> StampsBetween(std::time_t from, std::time_t to) {
    std::vector<std::string> stamps;
    for (std::time_t t = from; t <= to; ++t) {
        stamps.push_back(test::StampAt(t));
    }
    return stamps;
}

TEST(PackMedia, EndToEndExample) {
    for (bool slack : {false, true}) {
        test::RecordingWindow w;
        Fill(w, Sizes(test::kExampleSectors.begin(), test::kExampleSectors.end()));
        const std::time_t before = std::time(nullptr);
        PackMedia(Input(test::kExampleDisc, slack), w.state, w);
        const auto stamps = StampsBetween(before, std::time(nullptr));
        EXPECT_NE(std::find(stamps.begin(), stamps.end(), w.state.scanStamp), stamps.end())
            << w.state.scanStamp;

        EXPECT_EQ(MediaSizes(w.state), (std::vector<Sizes>{{50, 40}, {45, 30, 12}}));
        const auto& media = w.state.result.media;
        EXPECT_EQ(media[0].used, 100u);
        EXPECT_EQ(media[1].used, 97u);
        EXPECT_EQ(PercentText(media[0].fill), "100.0000 %");
        EXPECT_EQ(PercentText(media[1].fill), "97.0000 %");
        EXPECT_EQ(SizesOf(w.state.result.remainder), (Sizes{95, 20, 8}));
        EXPECT_EQ(w.state.result.remainder.files, 3u);

        std::vector<std::string> expected = {
            "うまく詰め込めなかった残りファイル数 = 3 （サイズ = 246.0000 KiB）",
            "必要なメディア枚数 = 2",
            slack ? "平均詰め込み率 = 98.5000 % (スラックサイズによる下限 = 86.0000 %)"
                  : "平均詰め込み率 = 98.5000 %",
            "［対象を移動］を押すと、詰め込み対象ファイルを出力フォルダ配下へ移動できます。",
            test::kExampleIsoWouldNotBurn,
            test::kExampleUdfWouldNotBurn,
            test::kExampleChooseAFileSystem,
        };
        EXPECT_EQ(w.log.Lines(), expected);
        EXPECT_EQ(w.shows, 1);
        EXPECT_TRUE(w.moveEnabled);
        EXPECT_EQ(w.state.scanStamp.size(), 15u);
        EXPECT_EQ(w.state.scanStamp[8], '-');
    }
}

TEST(PackMedia, ReportColours) {
    test::RecordingWindow w;
    Fill(w, Sizes(test::kExampleSectors.begin(), test::kExampleSectors.end()));
    PackMedia(Input(test::kExampleDisc), w.state, w);
    const auto& runs = w.log.Runs();
    ASSERT_EQ(runs.size(), 7u);
    EXPECT_EQ(runs[6].color, LogColor::Red);
    EXPECT_EQ(runs[0].color, LogColor::WindowText);
    EXPECT_EQ(runs[1].text, "2\n");
    EXPECT_EQ(runs[1].color, LogColor::Red);
    EXPECT_EQ(runs[2].text, "平均詰め込み率 = ");
    EXPECT_EQ(runs[3].text, "98.5000 %");
    EXPECT_EQ(runs[3].color, LogColor::Red);
    EXPECT_EQ(runs[4].text, "\n");
    EXPECT_EQ(runs[5].color, LogColor::Blue);
}

struct PackCase {
    const char* name;
    Sizes units;
    std::vector<Sizes> media;
    Sizes remainder;
    MediaProfile profile = kTen;
};

// Room for 131072 sectors: units of 65536 sectors (128 MiB) and more sort by both 16-bit digits.
const MediaProfile kWide{2048, 131073, 1, 0};

TEST(PackMedia, MediaAndRemainder) {
    const PackCase cases[] = {
        {"last rest smaller than every medium", {6, 5, 4}, {{6, 4}}, {5}},
        {"rest below minUsed", {6, 5, 4, 3}, {{6, 4}}, {5, 3}},
        {"repeated sizes", {9, 9, 8}, {{9}, {9}}, {8}},
        {"one medium one file left", {7, 7, 3}, {{7, 3}}, {7}},
        {"total below one medium", {3, 2}, {}, {3, 2}},
        {"one unit equal to capacity", {10}, {{10}}, {}},
        {"everything oversized", {11, 12}, {}, {12, 11}},
        {"empty inventory", {}, {}, {}},
        {"around 65536 sectors", {65535, 2, 65536, 65537}, {{65537, 65535}}, {65536, 2}, kWide},
        {"high digits differ", {1, 131072, 65536, 131071}, {{131072}, {131071, 1}}, {65536}, kWide},
    };
    for (const auto& c : cases) {
        test::RecordingWindow w;
        Fill(w, c.units);
        PackMedia(Input(c.profile), w.state, w);
        EXPECT_EQ(MediaSizes(w.state), c.media) << c.name;
        EXPECT_EQ(SizesOf(w.state.result.remainder), c.remainder) << c.name;
        EXPECT_EQ(w.moveEnabled, !c.media.empty()) << c.name;
        EXPECT_EQ(w.shows, c.media.empty() ? 0 : 1) << c.name;
    }
}

TEST(PackMedia, TheLastDiscOptionPacksTheRestOntoDiscsOfItsOwn) {
    const PackCase cases[] = {
        {"last rest smaller than every medium", {6, 5, 4}, {{6, 4}, {5}}, {}},
        {"total below one medium", {3, 2}, {{3, 2}}, {}},
        {"oversized units stay behind", {11, 3}, {{3}}, {11}},
        {"nothing left over", {10}, {{10}}, {}},
        {"the worked example",
         {95, 50, 45, 40, 30, 20, 12, 8},
         {{50, 40}, {45, 30, 12}, {20, 8}},
         {95},
         test::kExampleDisc},
    };
    for (const bool slack : {false, true}) {
        for (const auto& c : cases) {
            test::RecordingWindow w;
            Fill(w, c.units);
            ScanInput in = Input(c.profile, slack);
            in.options |= OptionFlags::LastDisc;
            PackMedia(in, w.state, w);
            EXPECT_EQ(MediaSizes(w.state), c.media) << c.name << " slack " << slack;
            EXPECT_EQ(SizesOf(w.state.result.remainder), c.remainder) << c.name;
            const bool partial = c.media.size() > 1 || c.units.size() == 2;
            EXPECT_EQ(w.state.result.firstPartial, partial ? c.media.size() : 0u) << c.name;
            EXPECT_EQ(w.log.Text().find("は残りのファイルをまとめたもので、満杯ではありません") !=
                          std::string::npos,
                      partial)
                << c.name;
        }
    }
}

TEST(PackMedia, FailureTextWhenNoMedium) {
    test::RecordingWindow w;
    Fill(w, {3, 2});
    PackMedia(Input(kTen), w.state, w);
    EXPECT_EQ(
        w.log.Text(),
        "うまく詰め込めなかった残りファイル数 = 2 （サイズ = 10.0000 KiB）\n"
        "詰め込むのに十分なサイズがありませんでした。\nまたは、うまい組み合わせが見つかりませんでした。");
    EXPECT_EQ(w.log.Runs().back().color, LogColor::Red);
}

TEST(PackMedia, CdRProfileAndSlackFilter) {
    test::RecordingWindow w;
    Fill(w, {300000, 300000, 300000});
    PackMedia(Input(kCdR), w.state, w);
    ASSERT_EQ(w.state.result.media.size(), 3u);
    for (const auto& m : w.state.result.media) {
        EXPECT_EQ(PercentText(m.fill), "83.4392 %");
    }
    EXPECT_EQ(Format("%.4f", SlackLowerBound(kCdR) * 100.0), "98.8617");

    test::RecordingWindow s;
    Fill(s, {300000, 300000, 300000});
    PackMedia(Input(kCdR, true), s.state, s);
    EXPECT_TRUE(s.state.result.media.empty());
    EXPECT_EQ(s.state.result.remainder.units.size(), 3u);
    EXPECT_FALSE(s.moveEnabled);
    for (const FileItem* u : s.state.inventory.Items()) {
        EXPECT_FALSE(u->IsPlaced());
    }
    EXPECT_NE(s.log.Text().find("詰め込むのに十分なサイズがありませんでした。"), std::string::npos);
}

TEST(PackMedia, SlackFilterRemovesMediaBelowTheBound) {
    // capacity 10, bound (10 - 1) / 12 = 0.75: the full medium stays, and so does the one filled
    // exactly to the bound (7 + 2 of 12); the three of 8/12 go.
    for (bool slack : {false, true}) {
        test::RecordingWindow w;
        Fill(w, {10, 7, 6, 6, 6});
        PackMedia(Input(kTen, slack), w.state, w);
        if (slack) {
            EXPECT_EQ(MediaSizes(w.state), (std::vector<Sizes>{{10}, {7}}));
            EXPECT_EQ(SizesOf(w.state.result.remainder), (Sizes{6, 6, 6}));
        } else {
            EXPECT_EQ(MediaSizes(w.state), (std::vector<Sizes>{{10}, {7}, {6}, {6}, {6}}));
        }
    }
}

TEST(PackMedia, SlackLargerThanTheRoomRemovesNothing) {
    const MediaProfile p{2048, 100, 10, 95};
    EXPECT_EQ(SlackLowerBound(p), 0.0f);
    test::RecordingWindow w;
    Fill(w, {50, 40});
    PackMedia(Input(p, true), w.state, w);
    EXPECT_EQ(w.state.result.media.size(), 1u);
    EXPECT_EQ(w.log.Lines()[2], "平均詰め込み率 = 100.0000 %");
}

TEST(PackMedia, GroupUnitsTravelWhole) {
    test::RecordingWindow w;
    FileInventory& inv = w.state.inventory;
    // Members 8 and 5 form a group of 13, larger than the capacity of 10.
    FileItem* a = inv.Append(0, 8, "g/a");
    FileItem* b = inv.Append(0, 5, "g/b");
    a->flags = b->flags = FileItem::Member;
    a->link.nextMember = b;
    GroupInfo* info = inv.NewGroupInfo();
    info->first = a;
    info->count = 2;
    inv.Append(FileItem::Group, 13, "g/")->link.group = info;
    inv.Append(0, 6, "x");
    inv.Append(0, 4, "y");
    inv.totalSectors = 8 + 5 + 6 + 4;
    PackMedia(Input(kTen), w.state, w);
    EXPECT_EQ(MediaSizes(w.state), (std::vector<Sizes>{{6, 4}}));
    const Remainder& r = w.state.result.remainder;
    ASSERT_EQ(r.units.size(), 1u);
    EXPECT_TRUE(r.units[0]->IsGroup());
    EXPECT_EQ(r.files, 2u);
    std::vector<const FileItem*> files;
    BuildFileList(r, files);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]->path(), "g/a");
    EXPECT_EQ(files[1]->path(), "g/b");
}

TEST(PackMedia, PathsLongerThanATextBlockKeepTheirText) {
    test::RecordingWindow w;
    const std::string longPath(300 << 10, 'L');
    w.state.inventory.Append(0, 6, "a");
    w.state.inventory.Append(0, 4, longPath);
    w.state.inventory.Append(0, 3, "b");
    w.state.inventory.totalSectors = 13;
    PackMedia(Input(kTen), w.state, w);
    ASSERT_EQ(w.state.result.media.size(), 1u);
    ASSERT_EQ(w.state.result.media[0].units.size(), 2u);
    EXPECT_TRUE(w.state.result.media[0].units[1]->path() == longPath);
    EXPECT_EQ(w.state.result.remainder.units[0]->path(), "b");
}

TEST(PackMedia, TreesAboveThirtyTwoBitsOfSectorsStillPack) {
    // 1.5 Gi sectors each: their sum wraps in 32 bits and would look smaller than one medium.
    test::RecordingWindow w;
    Fill(w, {1610612736u, 1610612736u, 1610612736u});
    PackMedia(Input({1, 2147483647, 1, 0}), w.state, w);
    EXPECT_EQ(w.state.result.media.size(), 3u);
    EXPECT_TRUE(w.state.result.remainder.units.empty());
}

struct SizeCase {
    std::uint64_t sectors;
    std::uint32_t sectorSize;
    const char* text;
};

TEST(SizeText, Boundaries) {
    const SizeCase cases[] = {
        {0, 2048, "0 Byte"},           {1023, 1, "1023 Byte"},       {1024, 1, "1.0000 KiB"},
        {1, 2048, "2.0000 KiB"},       {2048, 2048, "4.0000 MiB"},   {359847, 2048, "702.8262 MiB"},
        {2295104, 2048, "4.3776 GiB"}, {1u << 30, 1, "1.0000 GiB"},  {(1u << 20) - 1, 1, "1023.9990 KiB"},
        {256, 2048, "512.0000 KiB"},   {3840, 2048, "7.5000 MiB"},   {1u << 20, 1, "1.0000 MiB"},
        {512, 2048, "1.0000 MiB"},     {524288, 2048, "1.0000 GiB"}, {(1u << 30) - 1, 1, "1024.0000 MiB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SizeText(c.sectors, c.sectorSize), c.text);
    }
}

}  // namespace
}  // namespace stowra
