#pragma once
// The SHA-256 of every file a move put on its discs, taken with as little reading as the move
// allows: a copy to another file system is hashed from the bytes it copies, and only a file that
// was renamed is read once where it now lies.

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fileio/Sha256.h"
#include "frontend/FrontEnd.h"
#include "platform/BatchMove.h"

namespace stowra {

using Digest = std::array<std::uint8_t, 32>;

// The bytes a copy hears are hashed on a thread of their own, so that hashing runs while the copy
// reads, writes and waits for the disk: with it the checksums of a copy cost next to nothing.
class MoveChecksums : public CopyTap {
public:
    // One digest per entry of the move's destination list (NUL-separated, closed by one more NUL).
    explicit MoveChecksums(std::string_view destinations);
    ~MoveChecksums() override;
    MoveChecksums(const MoveChecksums&) = delete;
    MoveChecksums& operator=(const MoveChecksums&) = delete;

    void Begin(std::size_t k) override;
    void Data(std::uint64_t offset, std::vector<char>& buffer, std::size_t size) override;
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
    // What the copy told, in order, for the hashing thread.
    struct Heard {
        enum class Kind { Begin, Data, Placed } kind;
        std::size_t k = 0;
        std::uint64_t offset = 0;  // Data: where the bytes start; Placed: the file's size
        std::vector<char> bytes;   // Data: the copy's buffer, of which the first `size` bytes count
        std::size_t size = 0;
    };
    void Queue(Heard heard);
    void Hash(Heard& heard);  // on the hashing thread
    void Run();
    // Waits until everything heard is hashed.
    void Drain();

    std::vector<const char*> destinations_;
    std::vector<std::optional<Digest>> digests_;
    std::vector<bool> unreadable_;
    std::vector<bool> tried_;
    // The copy being heard, kept by the hashing thread.
    Sha256 hash_;
    std::uint64_t heard_ = 0;
    std::size_t current_ = 0;
    bool hearing_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Heard> queue_;
    std::vector<std::vector<char>> spare_;  // buffers hashed already, for the next chunks
    std::size_t queuedBytes_ = 0;
    bool busy_ = false;  // the thread is hashing what it took off the queue
    bool stop_ = false;
    std::thread thread_;  // started by the first copy
};

}  // namespace stowra
