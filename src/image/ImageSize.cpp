#include "image/ImageSize.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "image/ImageCount.h"
#include "platform/Text.h"

namespace stowra {

namespace {

bool IsAscii(std::string_view bytes) {
    std::uint64_t bits = 0;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        bits |= word;
    }
    for (; i < bytes.size(); ++i) {
        bits |= static_cast<unsigned char>(bytes[i]);
    }
    return (bits & 0x8080808080808080ull) == 0;
}

}  // namespace

namespace image::count {

void Model::Run() {
    RunFolders(0, static_cast<std::uint32_t>(nodes_.size()));
    Finish();
}

void Model::RunFolders(std::uint32_t first, std::uint32_t end) {
    FindRelocations();
    for (std::uint32_t f = first; f < end; ++f) {
        if (!nodes_[f].folder) {
            continue;
        }
        const auto children = tree_.Children(f);
        DecodeChildren(children);
        if (xorriso_) {
            XorrisoIso(f, children);
            XorrisoJoliet(children);
        }
        GenisoimageIso(f, children);
        GenisoimageJoliet(children);
    }
}

void Model::Finish() {
    for (const TreeNode& n : nodes_) {
        if (!n.folder) {
            dataSectors_ += SectorsOf(n.bytes);
            ++files_;
        }
    }
    if (!relocatedFolders_.empty()) {
        level1Inputs_.clear();
        for (std::uint32_t f : relocatedFolders_) {
            level1Inputs_.push_back({nodes_[f].name, true, kRelocatedMark, true});
        }
        Level1Directory(102 + 102);
    }
}

void Model::Add(const Model& part) {
    // Every figure is a sum over folders; the path tables start at their 10-byte root entries.
    xDirectories_ += part.xDirectories_;
    xPathTable_ += part.xPathTable_ - 10;
    xJolietPathTable_ += part.xJolietPathTable_ - 10;
    gDirectories_ += part.gDirectories_;
    gPathTable_ += part.gPathTable_ - 10;
    gJolietPathTable_ += part.gJolietPathTable_ - 10;
    udfDirectories_ += part.udfDirectories_;
    gOrderExcess_ += part.gOrderExcess_;
}

std::uint64_t Model::Xorriso() const {
    const std::uint64_t tables =
        19 + xDirectories_ + 2 * SectorsOf(xPathTable_) + 2 * SectorsOf(xJolietPathTable_);
    // File data starts at sector 32 at the earliest, after one zero sector that empty files use.
    return std::max<std::uint64_t>(tables, 32) + 1 + dataSectors_ + 150;
}

std::uint64_t Model::Genisoimage() const {
    // Directories whose size depends on the listing order are counted for the worst order: the
    // file systems list in orders of their own (hashed, reverse creation, creation), and the
    // move creates a disc's files in an order of its own, so no order can be assumed.
    return 20 + 2 * Even(SectorsOf(gPathTable_)) + 2 * Even(SectorsOf(gJolietPathTable_)) + gDirectories_ +
           gOrderExcess_ + 1  // the Rock Ridge extension reference
           + dataSectors_ + 150;
}

std::uint64_t Model::Udf() const {
    // Recognition sequence, two descriptor sequences, integrity, anchors and file set: 240
    // sectors; then one file entry per folder and file, and each folder's identifiers.
    return Genisoimage() + 240 + udfDirectories_ + files_;
}

void Model::DecodeChildren(std::span<const std::uint32_t> children) {
    children_ = children;
    decoded_.clear();
    decodedAt_.clear();
    ascii_.clear();
    for (std::uint32_t c : children) {
        decodedAt_.push_back(decoded_.size());
        const bool ascii = IsAscii(nodes_[c].name);
        if (!ascii) {
            image::AppendDecodedName(nodes_[c].name, decoded_);
        }
        ascii_.push_back(ascii);
    }
    decodedAt_.push_back(decoded_.size());
}

}  // namespace image::count

namespace {

using image::ImageTree;
using image::SectorsOf;
using image::count::Model;

// The builders write every name in UTF-8 (Rock Ridge, Joliet and UDF alike, and the 8.3 names
// are made of its bytes), so names in another code page are counted as their UTF-8 form.
class Utf8Entries {
public:
    explicit Utf8Entries(std::span<const ImageEntry> entries) : entries_(entries) {
        if constexpr (kNativeCodepage != Codepage::Utf8) {
            converted_.assign(entries.begin(), entries.end());
            for (ImageEntry& e : converted_) {
                if (!IsAscii(e.path)) {
                    texts_.push_back(ToUtf8(e.path));
                    e.path = texts_.back();
                }
            }
            entries_ = converted_;
        }
    }
    std::span<const ImageEntry> Entries() const { return entries_; }

private:
    static std::string ToUtf8(std::string_view native) {
        std::string utf8;
#ifdef _WIN32
        if (AnsiToUtf8(native, utf8)) {
            return utf8;
        }
        // Character by character: a byte that is no character stays as it is, and counts as one
        // '_' as a byte that is not UTF-8 does.
        utf8.clear();
        std::string piece;
        for (std::size_t i = 0; i < native.size();) {
            const std::size_t n =
                IsLeadByte(static_cast<unsigned char>(native[i]), kNativeCodepage) && i + 1 < native.size()
                    ? 2
                    : 1;
            if (AnsiToUtf8(native.substr(i, n), piece)) {
                utf8 += piece;
            } else {
                utf8.append(native.substr(i, n));
            }
            i += n;
        }
#else
        utf8 = native;
#endif
        return utf8;
    }

    std::span<const ImageEntry> entries_;
    std::vector<ImageEntry> converted_;
    std::deque<std::string> texts_;  // keeps each text in place while views point into it
};

// Runs the model over the tree, the folders split in two halves of about as many entries each,
// the second half on a thread of its own when the tree is large enough to repay starting one:
// a pack counts a disc of tens of thousands of entries several times over.
void RunModel(Model& model, const ImageTree& tree, bool xorriso, bool oneThread = false) {
    constexpr std::size_t kWorthAThread = 4096;
    const auto nodes = static_cast<std::uint32_t>(tree.Nodes().size());
    if (oneThread || nodes < kWorthAThread || std::thread::hardware_concurrency() < 2) {
        model.Run();
        return;
    }
    // Folders come before their children's children, and the folders' children lie in one array
    // in folder order: the half is where that array is half done.
    const std::uint32_t half = tree.ChildrenBefore(nodes) / 2;
    std::uint32_t lo = 0, hi = nodes;
    while (lo < hi) {
        const std::uint32_t mid = lo + (hi - lo) / 2;
        (tree.ChildrenBefore(mid) < half ? lo = mid + 1 : hi = mid);
    }
    Model second(tree, xorriso);
    std::thread helper;
    try {
        helper = std::thread([&] { second.RunFolders(lo, nodes); });
    } catch (const std::system_error&) {
        second.RunFolders(lo, nodes);  // no thread to be had: the same work on this one
    }
    model.RunFolders(0, lo);
    if (helper.joinable()) {
        helper.join();
    }
    model.Add(second);
    model.Finish();
}

}  // namespace

namespace image {

BuilderSectors EachBuilderSectors(const ImageTree& tree, bool oneThread) {
    Model model(tree, true);
    RunModel(model, tree, true, oneThread);
    return {model.Xorriso(), model.Genisoimage(), model.Udf()};
}

BuilderSectors EachBuilderSectors(std::span<const ImageEntry> input, bool oneThread) {
    const Utf8Entries utf8(input);
    return EachBuilderSectors(ImageTree(utf8.Entries()), oneThread);
}

}  // namespace image

std::uint64_t ImageSectors(FileSystem layout, std::span<const ImageEntry> entries) {
    if (layout != FileSystem::Iso9660 && layout != FileSystem::Udf) {
        std::uint64_t sectors = 0;
        for (const ImageEntry& e : entries) {
            sectors += e.folder ? 0 : SectorsOf(e.bytes);
        }
        return sectors;
    }
    const Utf8Entries utf8(entries);
    const ImageTree tree(utf8.Entries());
    Model model(tree, layout == FileSystem::Iso9660);
    RunModel(model, tree, layout == FileSystem::Iso9660);
    if (layout == FileSystem::Udf) {
        return model.Udf();
    }
    return std::max(model.Xorriso(), model.Genisoimage());
}

bool ParseFileSystem(std::string_view text, FileSystem& out) {
    for (FileSystem fs : {FileSystem::None, FileSystem::Iso9660, FileSystem::Udf}) {
        if (text == FileSystemName(fs)) {
            out = fs;
            return true;
        }
    }
    return false;
}

const char* FileSystemName(FileSystem fs) {
    switch (fs) {
        case FileSystem::Iso9660:
            return "iso9660";
        case FileSystem::Udf:
            return "udf";
        case FileSystem::None:
            break;
    }
    return "none";
}

}  // namespace stowra
