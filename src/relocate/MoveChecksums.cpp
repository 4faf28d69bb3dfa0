#include "relocate/MoveChecksums.h"

#include <cstdio>
#include <memory>
#include <system_error>

#include "platform/PathInfo.h"

namespace stowra {

namespace {

constexpr std::size_t kChunk = std::size_t{4} << 20;
// What the copy may run ahead of the hashing: a few of its buffers, which go round and round, so
// that no chunk needs new memory and the buffers stay in the processor's caches.
constexpr std::size_t kMostQueued = std::size_t{4} << 20;

}  // namespace

MoveChecksums::MoveChecksums(std::string_view destinations) {
    for (std::size_t i = 0; i < destinations.size() && destinations[i] != '\0';) {
        destinations_.push_back(destinations.data() + i);
        i = destinations.find('\0', i);
        i = i == std::string_view::npos ? destinations.size() : i + 1;
    }
    digests_.resize(destinations_.size());
    unreadable_.resize(destinations_.size());
    tried_.resize(destinations_.size());
}

MoveChecksums::~MoveChecksums() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void MoveChecksums::Queue(Heard heard) {
    std::unique_lock lock(mutex_);
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            lock.unlock();
            Hash(heard);  // no thread to be had: hashed here, as the copy goes
            return;
        }
    }
    changed_.wait(lock, [&] { return queuedBytes_ < kMostQueued; });
    queuedBytes_ += heard.size;
    queue_.push_back(std::move(heard));
    lock.unlock();
    changed_.notify_all();
}

void MoveChecksums::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;  // stopped, with nothing left
        }
        Heard heard = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        Hash(heard);
        lock.lock();
        busy_ = false;
        queuedBytes_ -= heard.size;
        if (heard.bytes.capacity() > 0 && spare_.size() < 8) {
            spare_.push_back(std::move(heard.bytes));
        }
        changed_.notify_all();
    }
}

void MoveChecksums::Drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return queue_.empty() && !busy_; });
}

void MoveChecksums::Begin(std::size_t k) {
    Queue({Heard::Kind::Begin, k, 0, {}, 0});
}

void MoveChecksums::Data(std::uint64_t offset, std::vector<char>& buffer, std::size_t size) {
    // The copy's own buffer is hashed, and the copy reads on into a spare one.
    std::vector<char> bytes;
    bytes.swap(buffer);
    {
        std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            buffer.swap(spare_.back());
            spare_.pop_back();
        }
    }
    Queue({Heard::Kind::Data, 0, offset, std::move(bytes), size});
}

void MoveChecksums::Placed(std::size_t k, std::uint64_t size) {
    Queue({Heard::Kind::Placed, k, size, {}, 0});
}

void MoveChecksums::Hash(Heard& heard) {
    switch (heard.kind) {
        case Heard::Kind::Begin:
            hash_ = Sha256();
            heard_ = 0;
            current_ = heard.k;
            hearing_ = heard.k < digests_.size();
            return;
        case Heard::Kind::Data:
        case Heard::Kind::Placed: {
            const std::uint64_t offset = heard.offset;
            if (!hearing_ || offset < heard_ || (heard.kind == Heard::Kind::Placed && heard.k != current_)) {
                hearing_ = false;  // out of order: this copy is read again where it lands
                return;
            }
            static constexpr char kZeros[4096] = {};
            while (heard_ < offset) {  // a hole: zeros
                const auto n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(offset - heard_, sizeof kZeros));
                hash_.Update(kZeros, n);
                heard_ += n;
            }
            if (heard.kind == Heard::Kind::Data) {
                hash_.Update(heard.bytes.data(), heard.size);
                heard_ += heard.size;
                return;
            }
            digests_[current_] = hash_.Final();
            tried_[current_] = true;
            hearing_ = false;
            return;
        }
    }
}

bool MoveChecksums::HashTheRest(ProgressSink& progress) {
    Drain();
    MoveProgress p;
    p.checksums = true;
    for (std::size_t k = 0; k < digests_.size(); ++k) {
        if (!tried_[k]) {
            ++p.filesTotal;
            if (const auto facts = FileFactsOf(destinations_[k])) {
                p.bytesTotal += facts->size;
            }
        }
    }
    if (p.filesTotal == 0) {
        return true;
    }
    if (!progress.Progress(p)) {
        return false;
    }
    std::vector<char> buffer(kChunk);
    for (std::size_t k = 0; k < digests_.size(); ++k) {
        if (tried_[k]) {
            continue;
        }
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(destinations_[k], "rb"),
                                                             &std::fclose);
        Sha256 hash;
        bool stopped = false;
        std::size_t n = 0;
        while (file && (n = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
            hash.Update(buffer.data(), n);
            p.bytesDone += n;
            if (n == buffer.size() && !progress.Progress(p)) {
                stopped = true;
                break;
            }
        }
        if (stopped) {
            return false;
        }
        tried_[k] = true;
        if (file && std::ferror(file.get()) == 0) {
            digests_[k] = hash.Final();
            ++p.filesMoved;
        } else {
            unreadable_[k] = true;
            ++p.filesFailed;
        }
        if (!progress.Progress(p)) {
            return p.filesMoved + p.filesFailed == p.filesTotal;  // a stop after the last stops nothing
        }
    }
    return true;
}

bool MoveChecksums::AllTried(std::size_t first, std::size_t end) const {
    for (std::size_t k = first; k < end && k < tried_.size(); ++k) {
        if (!tried_[k]) {
            return false;
        }
    }
    return true;
}

}  // namespace stowra
