#include "packing/PackingSearch.h"

#include <algorithm>

namespace stowra {

PackingSearch::PackingSearch(const std::vector<FileItem*>& units) : units_(units) {
    const std::size_t n = units.size();
    sectors_.resize(n);
    nextEligible_.resize(n + 1);
    for (std::size_t i = 0; i < n; ++i) {
        sectors_[i] = units[i]->sectors;
        bool eligible = (units[i]->flags & (FileItem::Placed | FileItem::Member)) == 0;
        nextEligible_[i] = static_cast<std::uint32_t>(eligible ? i : i + 1);
    }
    nextEligible_[n] = static_cast<std::uint32_t>(n);
    // A unit of 0 sectors equals the initial prev and is therefore never chosen.
    end_ = static_cast<std::size_t>(
        std::partition_point(sectors_.begin(), sectors_.end(), [](std::uint32_t s) { return s > 0; }) -
        sectors_.begin());
}

std::size_t PackingSearch::NextEligible(std::size_t k) {
    std::size_t root = k;
    while (nextEligible_[root] != root) {
        root = nextEligible_[root];
    }
    while (nextEligible_[k] != root) {  // path compression
        std::size_t next = nextEligible_[k];
        nextEligible_[k] = static_cast<std::uint32_t>(root);
        k = next;
    }
    return root;
}

void PackingSearch::Place(std::size_t k) {
    units_[k]->flags |= FileItem::Placed;
    nextEligible_[k] = static_cast<std::uint32_t>(k + 1);
}

std::size_t PackingSearch::NextCandidate(std::size_t k, std::uint32_t room, std::uint32_t prev) {
    if (k >= end_) {
        return units_.size();
    }
    // Sizes fall along the order and every later unit is at most prev, so the units worth trying
    // are those at most `bound`: the rest are too large or repeat the size just tried.
    std::uint32_t bound = prev == 0 ? room : std::min(room, prev - 1);
    if (sectors_[k] > bound) {
        k = static_cast<std::size_t>(
            std::partition_point(sectors_.begin() + static_cast<std::ptrdiff_t>(k),
                                 sectors_.begin() + static_cast<std::ptrdiff_t>(end_),
                                 [bound](std::uint32_t s) { return s > bound; }) -
            sectors_.begin());
    }
    if (k >= end_) {
        return units_.size();
    }
    k = NextEligible(k);
    return k < end_ ? k : units_.size();
}

std::vector<FileItem*> PackingSearch::SearchMedium(std::size_t start, std::uint32_t capacity) {
    std::vector<FileItem*> chosen = Choose(start, capacity);
    Take(chosen);
    return chosen;
}

std::vector<FileItem*> PackingSearch::Choose(std::size_t start, std::uint32_t capacity) {
    bestLeftover_ = capacity;
    ProbeFill(start, capacity);
    std::vector<FileItem*> chosen;
    TakeFill(start, capacity, chosen);
    return chosen;
}

void PackingSearch::Take(const std::vector<FileItem*>& chosen) {
    // Only the selection Choose made last can be taken: its positions are still known.
    if (chosen.size() != chosenPositions_.size()) {
        return;
    }
    for (std::size_t k : chosenPositions_) {
        Place(k);
    }
    chosenPositions_.clear();
}

// Recursive form being followed:
//   prev = 0
//   for k in position..n-1 (skipping ineligible, s == prev, s > room):
//       if ProbeFill(k+1, room-s): return true
//       if room-s >= bestLeftover: return true
//       bestLeftover = room-s; prev = s
//   return false
bool PackingSearch::ProbeFill(std::size_t position, std::uint32_t room) {
    const std::size_t n = units_.size();
    stack_.clear();
    stack_.push_back({position, room, 0});
    for (;;) {
        Frame& f = stack_.back();
        std::size_t k = NextCandidate(f.k, f.room, f.prev);
        if (k < n) {
            f.k = k;
            std::uint32_t childRoom = f.room - sectors_[k];
            stack_.push_back({k + 1, childRoom, 0});
            continue;
        }
        // This level has tried everything: it returns false to the level that called it.
        stack_.pop_back();
        if (stack_.empty()) {
            return false;
        }
        Frame& parent = stack_.back();
        std::uint32_t s = sectors_[parent.k];
        std::uint32_t left = parent.room - s;
        if (left >= bestLeftover_) {
            return true;
        }
        bestLeftover_ = left;
        parent.prev = s;
        parent.k += 1;
    }
}

// Recursive form being followed:
//   prev = 0
//   for k in position..n-1 (same skips):
//       r = TakeFill(k+1, room-s)
//       if r or room-s == bestLeftover: place u; return [u] + r
//       prev = s
//   return none
void PackingSearch::TakeFill(std::size_t position, std::uint32_t room, std::vector<FileItem*>& chosen) {
    const std::size_t n = units_.size();
    chosenPositions_.clear();
    stack_.clear();
    stack_.push_back({position, room, 0});
    for (;;) {
        Frame& f = stack_.back();
        std::size_t k = NextCandidate(f.k, f.room, f.prev);
        if (k < n) {
            f.k = k;
            stack_.push_back({k + 1, f.room - sectors_[k], 0});
            continue;
        }
        stack_.pop_back();
        if (stack_.empty()) {
            return;  // none
        }
        Frame& parent = stack_.back();
        std::uint32_t s = sectors_[parent.k];
        if (parent.room - s == bestLeftover_) {
            // The unit of every level on the stack is taken, from the outermost level inward.
            chosen.reserve(stack_.size());
            chosenPositions_.clear();
            for (const Frame& level : stack_) {
                chosenPositions_.push_back(level.k);
                chosen.push_back(units_[level.k]);
            }
            return;
        }
        parent.prev = s;
        parent.k += 1;
    }
}

}  // namespace stowra
