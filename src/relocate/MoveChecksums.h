#pragma once
// The SHA-256 of every file a move put on its discs, taken with as little reading as the move
// allows: a copy to another file system is hashed from the bytes it copies, and only a file that
// was renamed is read once where it now lies.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/Sha256.h"
#include "frontend/FrontEnd.h"
#include "platform/BatchMove.h"

namespace stowra {

using Digest = std::array<std::uint8_t, 32>;

class MoveChecksums : public CopyTap {
public:
    // One digest per entry of the move's destination list (NUL-separated, closed by one more NUL).
    explicit MoveChecksums(std::string_view destinations);

    void Begin(std::size_t k) override;
    void Data(std::uint64_t offset, const char* data, std::size_t size) override;
    void Placed(std::size_t k, std::uint64_t size) override;

    // Reads, where it lies, each file the copy did not hash, telling `progress` (with its
    // `checksums` set) as it goes. False when the user stopped it; the files not hashed by then
    // have no digest and are not counted as unreadable.
    bool HashTheRest(ProgressSink& progress);

    std::size_t Count() const { return digests_.size(); }
    const std::optional<Digest>& DigestOf(std::size_t k) const { return digests_[k]; }
    // The file could not be read (it was not left out because the user stopped the hashing).
    bool Unreadable(std::size_t k) const { return unreadable_[k]; }
    // Whether every entry from `first` to before `end` has a digest or was unreadable.
    bool AllTried(std::size_t first, std::size_t end) const;

private:
    std::vector<const char*> destinations_;
    std::vector<std::optional<Digest>> digests_;
    std::vector<bool> unreadable_;
    std::vector<bool> tried_;
    // The copy being heard.
    Sha256 hash_;
    std::uint64_t heard_ = 0;
    std::size_t current_ = 0;
    bool hearing_ = false;
};

}  // namespace stowra
