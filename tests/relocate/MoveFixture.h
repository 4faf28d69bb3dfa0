#pragma once
// A scanned tree of real files with known checksums, ready to be moved, and the checks that every
// file ended up whole in exactly one of the places it may be.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "packing/ScanSession.h"
#include "relocate/MoveFiles.h"
#include "support/ProgressRecorder.h"
#include "support/Recorders.h"
#include "support/TempTree.h"
#include "support/TreeDigest.h"

namespace stowra::test {

// 2 KiB sectors, 10 sectors of room per medium.
inline MediaProfile SmallDiscs() {
    return MediaProfile{2048, 12, 2, 0};
}

// Files of 1 to 4 sectors in nested folders: enough for three or more media and a remainder.
inline std::vector<std::pair<std::string, std::size_t>> NestedFiles() {
    return {{"a.txt", 7000},          {"docs/b.doc", 5000},        {"docs/old/c.jpg", 8000},
            {"docs/old/d.jpg", 3000}, {"music/e.mp3", 6000},       {"music/live/f.mp3", 4000},
            {"photos/g.png", 2000},   {"photos/2020/h.png", 7500}, {"photos/2020/i.png", 1000},
            {"video/j.mkv", 5500},    {"video/k.mkv", 3500},       {"x/y/z/deep.bin", 6500}};
}

// A tree scanned and packed through the engine, with what the result promises written down as
// plain text (the result itself is gone once the move clears it).
class ScannedTree {
public:
    explicit ScannedTree(std::string source,
                         const std::vector<std::pair<std::string, std::size_t>>& files = NestedFiles())
        : source_(std::move(source)) {
        digests = WriteRandomFiles(source_, files, 100);
        ScanInput in;
        in.sourceFolder = source_;
        in.profile = SmallDiscs();
        in.options = OptionFlags::IncludeHidden;
        EXPECT_TRUE(RunScan(in, window.state, window));
        stamp = window.state.scanStamp;
        folder = stamp;
        std::vector<const FileItem*> list;
        for (std::size_t n = 0; n < window.state.result.media.size(); ++n) {
            BuildFileList(window.state.result.media[n], list);
            media.emplace_back();
            for (const FileItem* f : list) {
                media.back().emplace_back(Generic(f->path()));
                mediumOf[Generic(f->path())] = n + 1;
            }
        }
    }

    const std::string& Source() const { return source_; }

    // Where a packed file goes ('/' between folders).
    std::string Destination(const std::string& destinationFolder, const std::string& rel) const {
        return destinationFolder + "/" + folder + "/" + std::to_string(mediumOf.at(rel)) + "/" + rel;
    }

    // Each file lies whole in the source or (packed files only) at its destination; at most
    // `maxBoth` in both; the destination holds nothing else but index files, catalogues and at most
    // `maxTemps` leftovers of interrupted copies.
    void ExpectEachFileOnce(const std::string& destinationFolder, std::size_t maxBoth = 0,
                            std::size_t maxTemps = 0) const {
        Digests src = DigestTree(source_);
        Digests dst = DigestTree(destinationFolder);
        std::size_t both = 0;
        std::size_t known = 0;
        for (const auto& [rel, digest] : digests) {
            bool inSource = src.count(rel) != 0;
            std::string dest = mediumOf.count(rel) ? Destination("", rel).substr(1) : std::string();
            bool atDestination = !dest.empty() && dst.count(dest) != 0;
            EXPECT_TRUE(inSource || atDestination) << rel << " was lost";
            if (inSource) {
                EXPECT_EQ(src[rel], digest) << rel << " changed in the source";
            }
            if (atDestination) {
                EXPECT_EQ(dst[dest], digest) << rel << " is not whole at its destination";
                ++known;
            }
            both += inSource && atDestination ? 1 : 0;
        }
        EXPECT_LE(both, maxBoth);
        std::size_t indexes = 0;
        for (const auto& [rel, digest] : dst) {
            indexes +=
                rel.find("/_index_") != std::string::npos || rel.find("/_catalog_") != std::string::npos ? 1
                                                                                                         : 0;
        }
        std::size_t temps = TempLeftovers(dst).size();
        EXPECT_LE(temps, maxTemps);
        EXPECT_EQ(dst.size(), known + indexes + temps) << "unexpected files at the destination";
    }

    RecordingWindow window;
    Digests digests;  // by path relative to the source
    std::string stamp;
    std::string folder;  // the folder below the destination that the move is expected to make
    std::vector<std::vector<std::string>> media;  // each medium's paths, in list order
    std::map<std::string, std::size_t> mediumOf;

private:
    std::string source_;
};

}  // namespace stowra::test
