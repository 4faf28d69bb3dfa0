#include "burn/ImageCheck.h"

#include <libisofs/libisofs.h>
#include <stdint.h>  // libisofs.h needs it first

#include <algorithm>
#include <array>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "burn/BurnLibraries.h"
#include "burn/Md5.h"
#include "packing/DiscFolder.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::burning {

namespace {

constexpr std::size_t kBlock = 2048;

struct SourceData {
    const BlockReader* read;
};

int SourceOpen(IsoDataSource*) {
    return ISO_SUCCESS;
}
int SourceClose(IsoDataSource*) {
    return ISO_SUCCESS;
}
int SourceRead(IsoDataSource* src, uint32_t lba, uint8_t* buffer) {
    const auto* data = static_cast<SourceData*>(src->data);
    return (*data->read)(lba, buffer) ? ISO_SUCCESS : ISO_DATA_SOURCE_FAILURE;
}
void SourceFree(IsoDataSource*) {}

struct ImageRelease {
    void operator()(IsoImage* image) const { iso_image_unref(image); }
};

class Checker {
public:
    Checker(IsoImage* image, const std::string& folder, ImageCheckReport& report)
        : image_(image), folder_(folder), report_(report) {}

    void Walk(IsoDir* dir, const std::string& prefix) {
        IsoDirIter* iter = nullptr;
        if (iso_dir_get_children(dir, &iter) < 0) {
            return;
        }
        IsoNode* node = nullptr;
        while (iso_dir_iter_next(iter, &node) == 1) {
            const std::string path = prefix + iso_node_get_name(node);
            if (iso_node_get_type(node) == LIBISO_DIR) {
                Walk(reinterpret_cast<IsoDir*>(node), path + "/");
            } else if (iso_node_get_type(node) == LIBISO_FILE) {
                seen_.insert(path);
                if (folder_.empty()) {
                    Collect(reinterpret_cast<IsoFile*>(node), path);
                } else {
                    CheckFile(reinterpret_cast<IsoFile*>(node), path);
                }
            }
        }
        iso_dir_iter_free(iter);
    }

    const std::set<std::string>& Seen() const { return seen_; }

    // One file's data on the image and its recorded MD5.
    struct Span {
        std::string path;
        bool hasMd5 = false;
        std::array<char, 16> recorded{};
        std::vector<iso_file_section> sections;
    };
    std::vector<Span>& Spans() { return spans_; }

private:
    void Collect(IsoFile* file, const std::string& path) {
        ++report_.filesChecked;
        Span span;
        span.path = path;
        span.hasMd5 = iso_file_get_md5(image_, file, span.recorded.data(), 0) == 1;
        int count = 0;
        iso_file_section* sections = nullptr;
        if (iso_file_get_old_image_sections(file, &count, &sections, 0) == 1) {
            span.sections.assign(sections, sections + count);
        }
        std::free(sections);
        spans_.push_back(std::move(span));
    }

    void CheckFile(IsoFile* file, const std::string& path) {
        ++report_.filesChecked;
        char recorded[16];
        const bool hasMd5 = iso_file_get_md5(image_, file, recorded, 0) == 1;
        IsoStream* stream = iso_file_get_stream(file);
        std::FILE* local = nullptr;
        bool differs = false;
        if (!folder_.empty()) {
            local = std::fopen((folder_ + "/" + path).c_str(), "rb");
            if (local == nullptr) {
                report_.problems.push_back({path, ImageFileState::Unlisted});
            }
        }
        Md5 md5;
        bool readable = iso_stream_open(stream) >= 0;
        if (readable) {
            std::vector<char> buffer(1 << 16);
            std::vector<char> other(buffer.size());
            for (;;) {
                const int n = iso_stream_read(stream, buffer.data(), buffer.size());
                if (n < 0) {
                    readable = false;
                    break;
                }
                if (n == 0) {
                    break;
                }
                md5.Add(buffer.data(), static_cast<std::size_t>(n));
                if (local != nullptr && !differs) {
                    const std::size_t m = std::fread(other.data(), 1, static_cast<std::size_t>(n), local);
                    differs =
                        m != static_cast<std::size_t>(n) || std::memcmp(other.data(), buffer.data(), m) != 0;
                }
            }
            iso_stream_close(stream);
        }
        if (local != nullptr) {
            if (!differs && std::fgetc(local) != EOF) {
                differs = true;
            }
            std::fclose(local);
        }
        std::array<char, 16> computed = md5.End();
        if (!readable || (hasMd5 && !iso_md5_match(recorded, computed.data()))) {
            report_.problems.push_back({path, ImageFileState::Damaged});
        } else if (differs) {
            report_.problems.push_back({path, ImageFileState::Differs});
        }
    }

    IsoImage* image_;
    const std::string& folder_;
    ImageCheckReport& report_;
    std::set<std::string> seen_;
    std::vector<Span> spans_;
};

// The session's MD5 on a thread of its own, fed a batch at a time while the next batch is read
// and fed to the files' sums: the two hashes of every block then take about the time of one.
class SessionSum {
public:
    SessionSum() : worker_([this] { Run(); }) {}
    ~SessionSum() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    SessionSum(const SessionSum&) = delete;
    SessionSum& operator=(const SessionSum&) = delete;

    // Returns once the batch before is hashed: with two buffers taken in turn, the caller may
    // refill the other one as soon as this returns.
    void Add(const unsigned char* data, std::size_t size) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return pending_ == nullptr; });
        pending_ = data;
        size_ = size;
        changed_.notify_all();
    }
    std::array<char, 16> End() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return pending_ == nullptr; });
        return md5_.End();
    }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return quit_ || pending_ != nullptr; });
            if (pending_ == nullptr) {
                return;
            }
            const unsigned char* data = pending_;
            const std::size_t size = size_;
            lock.unlock();
            md5_.Add(data, size);
            lock.lock();
            pending_ = nullptr;
            changed_.notify_all();
        }
    }

    Md5 md5_;
    std::mutex mutex_;
    std::condition_variable changed_;
    const unsigned char* pending_ = nullptr;
    std::size_t size_ = 0;
    bool quit_ = false;
    std::thread worker_;  // last: it starts on the members above
};

// Reads the blocks once, from the first the session or a file covers to the last, feeding the
// session's MD5 and every file's as its data goes by: a check as fast as one read of the image.
void CheckInOnePass(IsoImage* image, const BlockReader& read, std::vector<Checker::Span>& spans,
                    ImageCheckReport& report) {
    uint32_t sessionStart = 0;
    uint32_t sessionEnd = 0;
    char recorded[16];
    report.checksums = iso_image_get_session_md5(image, &sessionStart, &sessionEnd, recorded, 0) == 1;
    struct Piece {
        uint32_t block;
        uint64_t bytes;
        std::size_t span;
    };
    std::vector<Piece> pieces;
    uint64_t last = report.checksums ? sessionEnd : 0;
    uint64_t first = report.checksums ? sessionStart : UINT32_MAX;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        for (const iso_file_section& sec : spans[i].sections) {
            pieces.push_back({sec.block, sec.size, i});
            first = std::min<uint64_t>(first, sec.block);
            last =
                std::max<uint64_t>(last, sec.block + (static_cast<uint64_t>(sec.size) + kBlock - 1) / kBlock);
        }
    }
    // A file's extents are fed in their own order; files are fed as their blocks pass.
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const Piece& a, const Piece& b) { return a.block < b.block; });
    std::vector<std::unique_ptr<Md5>> sums(spans.size());
    for (auto& m : sums) {
        m = std::make_unique<Md5>();
    }
    std::vector<bool> unreadable(spans.size(), false);
    constexpr uint64_t kBatch = 256;  // blocks handed to the session's thread at a time
    std::array<std::vector<unsigned char>, 2> buffers;
    for (auto& buffer : buffers) {
        buffer.resize(kBatch * kBlock);
    }
    // After the buffers: on the way out its thread finishes with them before they go.
    std::optional<SessionSum> session;
    if (report.checksums) {
        session.emplace();
    }
    std::vector<Piece> active;
    std::size_t next = 0;
    std::size_t turn = 0;
    for (uint64_t start = first; start < last; start += kBatch, turn ^= 1) {
        unsigned char* const batch = buffers[turn].data();
        const uint64_t count = std::min(kBatch, last - start);
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t b = start + i;
            unsigned char* const block = batch + i * kBlock;
            const bool ok = read(static_cast<uint32_t>(b), block);
            if (!ok && report.checksums && b >= sessionStart && b < sessionEnd) {
                report.sessionOk = false;
            }
            while (next < pieces.size() && pieces[next].block <= b) {
                active.push_back(pieces[next++]);
            }
            for (std::size_t k = 0; k < active.size();) {
                Piece& p = active[k];
                const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(p.bytes, kBlock));
                if (!ok) {
                    unreadable[p.span] = true;
                }
                sums[p.span]->Add(block, n);
                p.bytes -= n;
                if (p.bytes == 0) {
                    active[k] = active.back();
                    active.pop_back();
                } else {
                    ++k;
                }
            }
        }
        const uint64_t from = std::max<uint64_t>(start, sessionStart);
        const uint64_t to = std::min<uint64_t>(start + count, sessionEnd);
        if (session && from < to) {
            session->Add(batch + (from - start) * kBlock, static_cast<std::size_t>(to - from) * kBlock);
        }
    }
    if (session) {
        std::array<char, 16> computed = session->End();
        if (report.sessionOk) {
            report.sessionOk = iso_md5_match(recorded, computed.data()) != 0;
        }
    }
    for (std::size_t i = 0; i < spans.size(); ++i) {
        std::array<char, 16> computed = sums[i]->End();
        if (unreadable[i] || (spans[i].hasMd5 && !iso_md5_match(spans[i].recorded.data(), computed.data()))) {
            report.problems.push_back({spans[i].path, ImageFileState::Damaged});
        }
    }
}

// The session checksum over the blocks it covers.
bool SessionMatches(IsoImage* image, const BlockReader& read, bool& present) {
    uint32_t start = 0;
    uint32_t end = 0;
    char recorded[16];
    present = iso_image_get_session_md5(image, &start, &end, recorded, 0) == 1;
    if (!present) {
        return true;
    }
    Md5 md5;
    std::vector<unsigned char> block(kBlock);
    for (uint32_t b = start; b < end; ++b) {
        if (!read(b, block.data())) {
            return false;
        }
        md5.Add(block.data(), block.size());
    }
    std::array<char, 16> computed = md5.End();
    return iso_md5_match(recorded, computed.data()) != 0;
}

}  // namespace

ImageCheckReport CheckImage(const BlockReader& given, const std::string& folder,
                            const CheckProgress& progress) {
    ImageCheckReport report;
    BlockReader read = given;
    std::uint64_t blocks = 0;
    std::uint64_t total = 0;
    if (progress) {
        // The volume space size in the primary volume descriptor: the image's length in blocks.
        std::array<unsigned char, kBlock> pvd{};
        if (given(16, pvd.data())) {
            total = static_cast<std::uint64_t>(pvd[80]) | static_cast<std::uint64_t>(pvd[81]) << 8 |
                    static_cast<std::uint64_t>(pvd[82]) << 16 | static_cast<std::uint64_t>(pvd[83]) << 24;
        }
        total *= folder.empty() ? 1 : 2;
        // Once stopped, every read fails at once and the check runs out quickly.
        read = [&](std::uint32_t block, unsigned char* data) {
            if (report.stopped) {
                return false;
            }
            if (++blocks % 256 == 0 && !progress(blocks, std::max(total, blocks))) {
                report.stopped = true;
                return false;
            }
            return given(block, data);
        };
    }
    SourceData data{&read};
    IsoDataSource source{0, 1, SourceOpen, SourceClose, SourceRead, SourceFree, &data};
    IsoReadOpts* opts = nullptr;
    IsoImage* raw = nullptr;
    if (iso_read_opts_new(&opts, 0) < 0 || iso_image_new(nullptr, &raw) < 0) {
        iso_read_opts_free(opts);
        report.error = Tr("イメージを読めません");
        return report;
    }
    const std::unique_ptr<IsoImage, ImageRelease> image(raw);
    iso_read_opts_set_no_aaip(opts, 0);  // the AAIP fields name each file's checksum
    iso_read_opts_set_no_md5(opts, 2);   // report a damaged image rather than refuse it
    iso_read_opts_set_no_joliet(opts, 1);
    IsoReadImageFeatures* features = nullptr;
    const int r = iso_image_import(image.get(), &source, opts, &features);
    iso_read_opts_free(opts);
    if (features != nullptr) {
        iso_read_image_features_destroy(features);
    }
    if (r < 0) {
        TakeLibraryMessages();
        report.error = Format(Tr("イメージを読めません: %s"), iso_error_to_msg(r));
        return report;
    }
    Checker checker(image.get(), folder, report);
    checker.Walk(iso_image_get_root(image.get()), "");
    if (folder.empty()) {
        CheckInOnePass(image.get(), read, checker.Spans(), report);
    } else {
        bool present = false;
        report.sessionOk = SessionMatches(image.get(), read, present);
        report.checksums = present;
    }
    if (!folder.empty()) {
        std::vector<std::string> paths;
        std::vector<ImageEntry> entries;
        std::string error;
        if (!CollectDiscEntries(folder, paths, entries, error)) {
            report.error = error;
        }
        for (const ImageEntry& e : entries) {
            if (!e.folder && e.symlink == 0 && checker.Seen().count(std::string(e.path)) == 0) {
                report.problems.push_back({std::string(e.path), ImageFileState::Missing});
            }
        }
    }
    TakeLibraryMessages();
    if (report.stopped) {
        report.problems.clear();  // what the stop made unreadable is not known to be damaged
    }
    return report;
}

ImageCheckReport CheckImageFile(const std::string& path, const std::string& folder,
                                const CheckProgress& progress) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        ImageCheckReport report;
        report.error = Format(Tr("イメージファイルを開けません: %s"), path.c_str());
        return report;
    }
    std::vector<char> buffer(1 << 20);
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    // Seeking drops the stream's buffer: only a jump seeks.
    std::int64_t at = 0;
    const BlockReader read = [f, &at](std::uint32_t block, unsigned char* data) {
        const std::int64_t want = static_cast<std::int64_t>(block) * static_cast<std::int64_t>(kBlock);
        if (want != at && std::fseek(f, static_cast<long>(want), SEEK_SET) != 0) {
            at = -1;
            return false;
        }
        const bool ok = std::fread(data, 1, kBlock, f) == kBlock;
        at = ok ? want + static_cast<std::int64_t>(kBlock) : -1;
        return ok;
    };
    ImageCheckReport report = CheckImage(read, folder, progress);
    std::fclose(f);
    return report;
}

}  // namespace stowra::burning
