#pragma once
// How directory records and their continuation areas fill 2048-byte sectors, for counting disc
// images (ImageSize.cpp).

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

namespace stowra::image {

inline constexpr std::uint32_t kSector = 2048;
// Records of one file's extents placed one by one; beyond this many, a bound is added instead,
// so that an absurd size cannot stall the count.
inline constexpr std::uint64_t kExactSections = 1 << 16;

inline std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) {
    return a / b + (a % b != 0 ? 1 : 0);
}

inline std::uint64_t SectorsOf(std::uint64_t bytes) {
    return CeilDiv(bytes, kSector);
}

inline std::uint64_t Even(std::uint64_t n) {
    return n + (n & 1);
}

inline std::uint64_t RoundUpToSector(std::uint64_t bytes) {
    return SectorsOf(bytes) * kSector;
}

// Records placed one after another in a directory's extent; a record never crosses a sector.
// xorriso starts a new sector when the record is longer than the bytes left; genisoimage also
// when it would end exactly on the boundary.
class Extent {
public:
    Extent(bool endsBeforeBoundary, std::uint64_t start) : strict_(endsBeforeBoundary), used_(start) {}

    void Add(std::uint64_t record, std::uint64_t count = 1) {
        const std::uint64_t exact = std::min(count, kExactSections);
        for (std::uint64_t i = 0; i < exact; ++i) {
            if (strict_ ? used_ + record >= kSector : record > kSector - used_) {
                ++full_;
                used_ = 0;
            }
            used_ += record;
        }
        if (count > exact) {
            full_ += CeilDiv(count - exact, (kSector - 1) / record) + 1;
        }
    }
    // Records whose order is not known, counted for the worst order: each new sector leaves
    // unused at most the size of the record that starts it, so k new sectors hold at most the
    // records plus the k largest of them.
    void AddInAnyOrder(std::vector<std::uint64_t>& records) {
        std::sort(records.begin(), records.end(), std::greater<>());
        std::uint64_t total = used_;
        for (std::uint64_t r : records) {
            total += r;
        }
        std::uint64_t k = 0;
        std::uint64_t largest = 0;
        while (k < records.size() && (k + 1) * kSector < total + largest + records[k]) {
            largest += records[k++];
        }
        full_ += k;
        used_ = std::min<std::uint64_t>(total + largest - k * kSector, kSector);
    }
    std::uint64_t Sectors() const { return full_ + (used_ > 0 ? 1 : 0); }

private:
    bool strict_;
    std::uint64_t full_ = 0;
    std::uint64_t used_;
};

// Bytes of a directory's continuation area: the Rock Ridge fields that did not fit into the
// records. xorriso 1.5.4 reserves more than it writes when a part would cross a sector; the
// image size it reports follows this accounting, so the count does too.
class Continuation {
public:
    Continuation(bool genisoimage, std::uint64_t start) : genisoimage_(genisoimage), bytes_(start) {}

    void Add(std::uint64_t part, std::uint64_t count = 1) {
        if (part == 0) {
            return;
        }
        const std::uint64_t exact = std::min(count, kExactSections);
        for (std::uint64_t i = 0; i < exact; ++i) {
            genisoimage_ ? AddGenisoimage(part) : AddXorriso(part);
        }
        if (count > exact) {
            bytes_ += (count - exact) * (part + 2 * kSector + 28);
        }
    }
    // Parts whose order is not known (genisoimage's accounting), counted for the worst order as
    // records are: a part that would reach the sector's end moves on, leaving at most its own
    // size unused, and each part may gain one byte of alignment.
    void AddInAnyOrder(std::vector<std::uint64_t>& parts) {
        std::sort(parts.begin(), parts.end(), std::greater<>());
        std::uint64_t total = bytes_ % kSector;
        for (std::uint64_t p : parts) {
            total += p + 1;
        }
        std::uint64_t k = 0;
        std::uint64_t largest = 0;
        while (k < parts.size() && (k + 1) * kSector < total + largest + parts[k]) {
            largest += parts[k++];
        }
        bytes_ = (bytes_ / kSector + k) * kSector +
                 std::min<std::uint64_t>(total + largest - k * kSector, kSector);
    }
    std::uint64_t Sectors() const { return SectorsOf(bytes_); }

private:
    void AddXorriso(std::uint64_t part) {
        if (bytes_ / kSector == (bytes_ + part + 27) / kSector) {
            bytes_ += part;
            return;
        }
        const std::uint64_t rest = bytes_ % kSector;
        bytes_ = RoundUpToSector(bytes_ + 28) + part + (kSector - rest);
    }
    void AddGenisoimage(std::uint64_t part) {
        if (bytes_ % kSector + part >= kSector) {
            bytes_ = RoundUpToSector(bytes_);
        }
        bytes_ = Even(bytes_ + part);
    }

    bool genisoimage_;
    std::uint64_t bytes_;
};

}  // namespace stowra::image
