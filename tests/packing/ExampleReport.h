#pragma once
// The lines that end the report of the example tree's toy discs (100 sectors cannot hold a file
// system's structures): neither image would burn, each past Total by this much.

namespace stowra::test {

inline constexpr const char* kExampleIsoWouldNotBurn =
    "2 枚のメディアは、ファイルシステム（ISO9660 + Joliet）を含めると総サイズを最大 173 "
    "セクタ超え、書き込めません。";
inline constexpr const char* kExampleUdfWouldNotBurn =
    "2 枚のメディアは、ファイルシステム（UDF）を含めると総サイズを最大 415 セクタ超え、書き込めません。";
inline constexpr const char* kExampleChooseAFileSystem =
    "［編集］でメディア設定を開き、「ファイルシステム」を選ぶと、収まるように詰め込めます。";

}  // namespace stowra::test
