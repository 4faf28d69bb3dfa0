#pragma once
// The worked example the suites share: eight files of 95, 50, 45, 40, 30, 20, 12 and 8 sectors of
// 2048 bytes, packed onto toy discs of 100 sectors with 10 for the file system and a slack of 4,
// and the lines that end its report (100 sectors cannot hold a file system's structures: neither
// image would burn, each past Total by this much).

#include <array>
#include <cstdint>
#include <string>

#include "packing/MediaProfile.h"
#include "support/TempTree.h"

namespace stowra::test {

inline constexpr std::array<std::uint32_t, 8> kExampleSectors{95, 50, 45, 40, 30, 20, 12, 8};
inline const MediaProfile kExampleDisc{2048, 100, 10, 4};  // capacity 90

// Writes the example's files, "s95.bin" and so on, into `folder` below the tree (its root when
// empty).
inline void WriteExampleFiles(const TempTree& t, const std::string& folder = "") {
    for (std::uint32_t s : kExampleSectors) {
        t.File((folder.empty() ? "" : folder + "/") + "s" + std::to_string(s) + ".bin", s * 2048ull);
    }
}

inline constexpr const char* kExampleIsoWouldNotBurn =
    "2 枚のメディアは、ファイルシステム（ISO9660 + Joliet）を含めると総サイズを最大 173 "
    "セクタ超え、書き込めません。";
inline constexpr const char* kExampleUdfWouldNotBurn =
    "2 枚のメディアは、ファイルシステム（UDF）を含めると総サイズを最大 415 セクタ超え、書き込めません。";
inline constexpr const char* kExampleChooseAFileSystem =
    "［編集］でメディア設定を開き、「ファイルシステム」を選ぶと、収まるように詰め込めます。";
// The three lines as the report prints them.
inline const std::string kExampleDiscsWouldNotFit =
    std::string(kExampleIsoWouldNotBurn) + "\n" + kExampleUdfWouldNotBurn + "\n" + kExampleChooseAFileSystem;

}  // namespace stowra::test
