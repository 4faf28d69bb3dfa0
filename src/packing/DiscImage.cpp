#include "packing/DiscImage.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <system_error>
#include <thread>

#include "image/ImageTree.h"
#include "packing/WrittenImage.h"
#include "platform/Text.h"

namespace stowra {

const char* FileSystemCaption(FileSystem fs) {
    switch (fs) {
        case FileSystem::Iso9660:
            return "ISO9660 + Joliet";
        case FileSystem::Udf:
            return "UDF";
        default:
            return "なし";
    }
}

std::string IndexLeafName(const std::string& scanStamp, std::size_t medium) {
    return "_index_" + scanStamp + "-" + std::to_string(medium) + ".txt";
}

std::string ChecksumLeafName(const std::string& scanStamp, std::size_t medium) {
    return "_sha256_" + scanStamp + "-" + std::to_string(medium) + ".txt";
}

namespace {

// On Windows a backslash is always the delimiter, and no name holds a line feed.
[[maybe_unused]] bool NeedsEscape(char c) {
    return kPathDelimiter == '/' && (c == '\\' || c == '\n');
}

}  // namespace

#ifdef _WIN32
namespace {

// The path as a Linux system shows the disc's names: '/' between folders, UTF-8 (Joliet and UDF
// names are Unicode, and sha256sum compares bytes).
std::string DiscPath(std::string_view path) {
    std::string text(path);
    ReplaceDelimiters(text, kPathDelimiter, '/', kNativeCodepage);
    std::string utf8;
    return AnsiToUtf8(text, utf8) ? utf8 : text;
}

}  // namespace

std::string ChecksumLine(std::string_view hexDigest, std::string_view path) {
    std::string line(hexDigest);
    line.append("  ").append(DiscPath(path)).push_back('\n');
    return line;
}

std::uint64_t ChecksumLineSize(std::string_view path) {
    return 64 + 2 + DiscPath(path).size() + 1;
}
#else
std::string ChecksumLine(std::string_view hexDigest, std::string_view path) {
    std::string line;
    line.reserve(hexDigest.size() + path.size() + 4);
    const bool escaped = std::any_of(path.begin(), path.end(), NeedsEscape);
    if (escaped) {
        line.push_back('\\');
    }
    line.append(hexDigest);
    line.append("  ");
    for (const char c : path) {
        if (!NeedsEscape(c)) {
            line.push_back(c);
        } else if (c == '\n') {
            line.append("\\n");
        } else {
            line.append("\\\\");
        }
    }
    line.push_back('\n');
    return line;
}

std::uint64_t ChecksumLineSize(std::string_view path) {
    const auto escapes = static_cast<std::uint64_t>(std::count_if(path.begin(), path.end(), NeedsEscape));
    return 64 + 2 + path.size() + 1 + escapes + (escapes > 0 ? 1 : 0);
}
#endif

namespace {

// The entries of a disc's image; `rewritten` and `indexName` hold what the entries point to.
std::vector<ImageEntry> DiscEntries(const std::vector<FileItem*>& units, const DiscContents& contents,
                                    std::size_t medium, std::deque<std::string>& rewritten,
                                    std::string& indexName) {
    std::vector<ImageEntry> entries;
    entries.reserve(units.size() + 2);
    // The image builders take '/' between folders; other platforms' paths are rewritten here,
    // into `rewritten`, which keeps each text in place while views point into it.
    std::uint64_t indexBytes = 0;
    std::uint64_t checksumBytes = 0;
    auto add = [&](const FileItem* f) {
        std::string_view path = f->path();
        if constexpr (kPathDelimiter != '/') {
            std::string copy(path);
            ReplaceDelimiters(copy, kPathDelimiter, '/', kNativeCodepage);
            rewritten.push_back(std::move(copy));
            path = rewritten.back();
        }
        entries.push_back({path, f->fullSectors * contents.cluster, false});
        indexBytes += f->pathSize + 2;  // the path and CR LF
        if (contents.withChecksums) {
            checksumBytes += ChecksumLineSize(f->path());
        }
    };
    ForEachFile(units, add);
    if (contents.withIndex) {
        indexName = IndexLeafName(contents.scanStamp, medium);
        entries.push_back({indexName, indexBytes, false});
    }
    if (contents.withChecksums) {
        rewritten.push_back(ChecksumLeafName(contents.scanStamp, medium));
        entries.push_back({rewritten.back(), checksumBytes, false});
    }
    return entries;
}

// Calls work(i) for every i below n, on several threads (0: one per core).
template <class Work>
void OnThreads(std::size_t n, unsigned threads, Work work) {
    if (threads == 0) {
        threads = std::max(1u, std::thread::hardware_concurrency());
    }
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, n));
    std::atomic<std::size_t> next{0};
    auto run = [&] {
        for (std::size_t i; (i = next++) < n;) {
            work(i);
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(run);
        } catch (const std::system_error&) {
            break;  // fewer threads: this one does the rest
        }
    }
    run();
    for (std::thread& t : helpers) {
        t.join();
    }
}

}  // namespace

std::uint64_t DiscImageSectors(FileSystem layout, const std::vector<FileItem*>& units,
                               const DiscContents& contents, std::size_t medium) {
    std::deque<std::string> texts;
    std::string indexName;
    return WrittenImageSectors(layout, DiscEntries(units, contents, medium, texts, indexName));
}

std::vector<std::uint64_t> DiscImagesSectors(FileSystem layout,
                                             const std::vector<const std::vector<FileItem*>*>& discs,
                                             const DiscContents& contents, unsigned threads) {
    std::vector<std::uint64_t> sectors(discs.size());
    OnThreads(discs.size(), threads,
              [&](std::size_t i) { sectors[i] = DiscImageSectors(layout, *discs[i], contents, i + 1); });
    return sectors;
}

std::vector<DiscLayouts> DiscImagesBothLayouts(const std::vector<const std::vector<FileItem*>*>& discs,
                                               const DiscContents& contents, unsigned threads) {
    std::vector<DiscLayouts> sectors(discs.size());
    // With a disc for every core, a disc's count on two threads would only crowd them.
    const unsigned cores = threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
    const bool oneThread = discs.size() >= cores;
    OnThreads(discs.size(), threads, [&](std::size_t i) {
        std::deque<std::string> texts;
        std::string indexName;
        const std::vector<ImageEntry> entries = DiscEntries(*discs[i], contents, i + 1, texts, indexName);
        const image::BuilderSectors each = image::EachBuilderSectors(entries, oneThread);
        const std::uint64_t records = ChecksumRecordSectors(entries);
        sectors[i] = {WrittenImageSectors(FileSystem::Iso9660, each, records), each.udf};
    });
    return sectors;
}

}  // namespace stowra
