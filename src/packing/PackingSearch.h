#pragma once
// Chooses the units of one medium: a greedy descent (largest unit that still fits, again and
// again) followed by a short chain of retries at the deepest level, stopping at the first retry
// that does not improve the leftover room.
//
// Two passes walk the same order: ProbeFill finds the best leftover its rules reach, TakeFill
// takes the first selection that ends with exactly that leftover. Both use an explicit stack,
// since a medium can hold hundreds of thousands of small units. They jump over runs of units that
// cannot be chosen (too large for the room, a repeated size, already placed, group members) but
// visit and choose exactly what a unit-by-unit walk would.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "packing/FileInventory.h"

namespace stowra {

class PackingSearch {
public:
    // `units` must be sorted by sectors, largest first, and stay unchanged while the search is used.
    explicit PackingSearch(const std::vector<FileItem*>& units);

    // Returns the chosen units in inventory order, each marked Placed; empty when no eligible unit
    // at or after `start` fits in `capacity`.
    std::vector<FileItem*> SearchMedium(std::size_t start, std::uint32_t capacity);

    // The same search in two steps, so that a caller can look at a selection (what its disc image
    // would need) before it takes it: Choose marks nothing, Take marks what Choose returned.
    std::vector<FileItem*> Choose(std::size_t start, std::uint32_t capacity);
    void Take(const std::vector<FileItem*>& chosen);

private:
    struct Frame {
        std::size_t k;       // position being tried at this level
        std::uint32_t room;  // sectors free at this level
        std::uint32_t prev;  // size of the last unit fully tried at this level
    };

    bool ProbeFill(std::size_t position, std::uint32_t room);
    void TakeFill(std::size_t position, std::uint32_t room, std::vector<FileItem*>& chosen);

    // First position at or after k whose unit is eligible, not larger than room and not of the
    // repeated size prev; n when there is none.
    std::size_t NextCandidate(std::size_t k, std::uint32_t room, std::uint32_t prev);
    std::size_t NextEligible(std::size_t k);
    void Place(std::size_t k);

    const std::vector<FileItem*>& units_;
    std::vector<std::uint32_t> sectors_;       // copy of the sizes, for cache-friendly searching
    std::vector<std::uint32_t> nextEligible_;  // disjoint-set links over ineligible positions
    std::size_t end_;                          // units from here on have 0 sectors and are never chosen
    std::uint32_t bestLeftover_ = 0;
    std::vector<Frame> stack_;
    std::vector<std::size_t> chosenPositions_;  // positions of the last Choose
};

}  // namespace stowra
