#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "packing/PackingSearch.h"

namespace stowra {
namespace {

// Units of the given sizes, already in the order the search expects (largest first).
struct Units {
    FileInventory inventory;
    explicit Units(const std::vector<std::uint32_t>& sizes) {
        for (std::uint32_t s : sizes) {
            inventory.Append(0, s, "f");
        }
    }
    std::vector<FileItem*>& items() { return inventory.Items(); }
};

std::vector<std::uint32_t> SizesOf(const std::vector<FileItem*>& units) {
    std::vector<std::uint32_t> sizes;
    for (const FileItem* u : units) {
        sizes.push_back(u->sectors);
    }
    return sizes;
}

struct WorkedExample {
    std::uint32_t capacity;
    std::vector<std::uint32_t> units;
    std::vector<std::uint32_t> chosen;
};

TEST(SearchMedium, WorkedExamples) {
    const WorkedExample examples[] = {
        {10, {6, 5, 4, 3, 2}, {6, 4}},
        {17, {10, 9, 8}, {9, 8}},
        {15, {7, 6, 5, 4}, {7, 6}},
        {10, {5, 4, 3, 3}, {5, 4}},
        {20, {12, 7, 7, 6, 5, 3}, {12, 7}},
        {14, {6, 6, 6, 4, 4, 2}, {6, 6, 2}},
        {10, {9, 9, 9}, {9}},
        {20, {18, 10, 9, 6, 4}, {10, 6, 4}},
        {10, {10, 3}, {10}},
        {0, {1, 2}, {}},
        {5, {9, 8, 7}, {}},
    };
    for (const auto& ex : examples) {
        Units u(ex.units);
        PackingSearch search(u.items());
        std::vector<FileItem*> chosen = search.SearchMedium(0, ex.capacity);
        EXPECT_EQ(SizesOf(chosen), ex.chosen) << "capacity " << ex.capacity;
        for (FileItem* item : u.items()) {
            bool inChosen = std::find(chosen.begin(), chosen.end(), item) != chosen.end();
            EXPECT_EQ(item->IsPlaced(), inChosen);
        }
    }
}

TEST(SearchMedium, RepeatedSizesStayForTheNextMedium) {
    Units u({9, 9, 9});
    PackingSearch search(u.items());
    EXPECT_EQ(search.SearchMedium(0, 10).size(), 1u);
    EXPECT_EQ(search.SearchMedium(0, 10).size(), 1u);
    EXPECT_EQ(search.SearchMedium(0, 10).size(), 1u);
    EXPECT_TRUE(search.SearchMedium(0, 10).empty());
}

TEST(SearchMedium, MembersAndPlacedUnitsAreInvisible) {
    Units u({8, 6, 4, 2});
    u.items()[0]->flags = FileItem::Member;
    u.items()[1]->flags = FileItem::Placed;
    PackingSearch search(u.items());
    EXPECT_EQ(SizesOf(search.SearchMedium(0, 10)), (std::vector<std::uint32_t>{4, 2}));
}

TEST(SearchMedium, StartPositionHidesEarlierUnits) {
    Units u({10, 6, 4});
    PackingSearch search(u.items());
    EXPECT_EQ(SizesOf(search.SearchMedium(1, 10)), (std::vector<std::uint32_t>{6, 4}));
}

TEST(SearchMedium, HoldsHundredsOfThousandsOfUnitsWithoutExhaustingTheStack) {
    Units u(std::vector<std::uint32_t>(200000, 1));
    PackingSearch search(u.items());
    EXPECT_EQ(search.SearchMedium(0, 300000).size(), 200000u);
}

// A direct transcription of the two recursive passes, to check the fast search against.
class ReferenceSearch {
public:
    explicit ReferenceSearch(std::vector<FileItem*>& units) : u_(units) {}

    std::vector<FileItem*> SearchMedium(std::size_t start, std::uint32_t capacity) {
        best_ = capacity;
        ProbeFill(start, capacity);
        std::vector<FileItem*> out;
        TakeFill(start, capacity, out);
        return out;
    }

private:
    bool Skip(std::size_t k, std::uint32_t prev, std::uint32_t room) const {
        const FileItem* x = u_[k];
        return (x->flags & (FileItem::Placed | FileItem::Member)) != 0 || x->sectors == prev ||
               x->sectors > room;
    }
    bool ProbeFill(std::size_t position, std::uint32_t room) {
        std::uint32_t prev = 0;
        for (std::size_t k = position; k < u_.size(); ++k) {
            if (Skip(k, prev, room))
                continue;
            std::uint32_t s = u_[k]->sectors;
            if (ProbeFill(k + 1, room - s))
                return true;
            if (room - s >= best_)
                return true;
            best_ = room - s;
            prev = s;
        }
        return false;
    }
    bool TakeFill(std::size_t position, std::uint32_t room, std::vector<FileItem*>& out) {
        std::uint32_t prev = 0;
        for (std::size_t k = position; k < u_.size(); ++k) {
            if (Skip(k, prev, room))
                continue;
            std::uint32_t s = u_[k]->sectors;
            std::vector<FileItem*> r;
            bool found = TakeFill(k + 1, room - s, r);
            if (found || room - s == best_) {
                u_[k]->flags |= FileItem::Placed;
                out.push_back(u_[k]);
                out.insert(out.end(), r.begin(), r.end());
                return true;
            }
            prev = s;
        }
        return false;
    }
    std::vector<FileItem*>& u_;
    std::uint32_t best_ = 0;
};

TEST(SearchMedium, ChoosesExactlyAsTheRecursivePassesOverRandomInventories) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 400; ++round) {
        std::size_t n = 1 + rng() % 60;
        std::uint32_t maxSize = 1 + rng() % (round % 2 ? 20 : 200);
        std::vector<std::uint32_t> sizes(n);
        for (auto& s : sizes) s = 1 + rng() % maxSize;
        std::sort(sizes.rbegin(), sizes.rend());
        Units fast(sizes), slow(sizes);
        for (std::size_t i = 0; i < n; ++i) {
            if (rng() % 7 == 0) {
                std::uint8_t f = rng() % 2 ? FileItem::Member : FileItem::Placed;
                fast.items()[i]->flags = f;
                slow.items()[i]->flags = f;
            }
        }
        PackingSearch search(fast.items());
        ReferenceSearch reference(slow.items());
        std::uint32_t capacity = 1 + rng() % (maxSize * 4);
        std::size_t start = rng() % 3 == 0 ? rng() % n : 0;
        // Several media in a row, as a packing run does.
        for (int medium = 0; medium < 6; ++medium) {
            auto a = search.SearchMedium(start, capacity);
            auto b = reference.SearchMedium(start, capacity);
            ASSERT_EQ(a.size(), b.size()) << "round " << round;
            for (std::size_t i = 0; i < a.size(); ++i) {
                // Same positions in the same order.
                ASSERT_EQ(a[i] - fast.items()[0], b[i] - slow.items()[0]) << "round " << round;
            }
            for (std::size_t i = 0; i < n; ++i) {
                ASSERT_EQ(fast.items()[i]->flags, slow.items()[i]->flags) << "round " << round;
            }
        }
    }
}

}  // namespace
}  // namespace stowra
