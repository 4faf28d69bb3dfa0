#include "relocate/MoveChecksums.h"

#include <cstdio>
#include <memory>

#include "platform/PathInfo.h"

namespace stowra {

namespace {

constexpr std::size_t kChunk = std::size_t{4} << 20;

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

void MoveChecksums::Begin(std::size_t k) {
    hash_ = Sha256();
    heard_ = 0;
    current_ = k;
    hearing_ = k < digests_.size();
}

void MoveChecksums::Data(std::uint64_t offset, const char* data, std::size_t size) {
    if (!hearing_ || offset < heard_) {
        hearing_ = false;  // out of order: this copy is read again where it lands
        return;
    }
    static constexpr char kZeros[4096] = {};
    for (; heard_ < offset; heard_ += std::min<std::uint64_t>(offset - heard_, sizeof kZeros)) {
        hash_.Update(kZeros,
                     static_cast<std::size_t>(std::min<std::uint64_t>(offset - heard_, sizeof kZeros)));
    }
    hash_.Update(data, size);
    heard_ += size;
}

void MoveChecksums::Placed(std::size_t k, std::uint64_t size) {
    if (!hearing_ || k != current_ || heard_ > size) {
        hearing_ = false;
        return;
    }
    Data(size, nullptr, 0);  // a hole at the end
    digests_[k] = hash_.Final();
    tried_[k] = true;
    hearing_ = false;
}

bool MoveChecksums::HashTheRest(ProgressSink& progress) {
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
