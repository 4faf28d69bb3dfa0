#pragma once
// Choosing a folder: the front end shows its folder browser; the engine only knows this contract.

#include <string>
#include <string_view>

#include "packing/ScanSession.h"

namespace stowra {

class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // Shows the folder browser with the title above its tree and returns the chosen folder's full
    // path, or the empty text when the user cancelled.
    virtual std::string SelectFolder(std::string_view title) = 0;
};

inline constexpr char kSourceFolderTitle[] = "入力フォルダを指定してください";
inline constexpr char kDestinationFolderTitle[] = "出力フォルダを指定してください";
inline constexpr char kVerifyFolderTitle[] = "確認するメディアまたはメディアフォルダを指定してください";

// The source folder's "choose" button: a chosen folder replaces the source text and clears the
// results. Returns whether a folder was chosen; on cancel nothing changes.
bool ChooseSourceFolder(FolderChooser& chooser, std::string& sourceText, ScanWindow& window);

// The destination folder's "choose" button: a chosen folder replaces the destination text; the
// results are kept.
bool ChooseDestinationFolder(FolderChooser& chooser, std::string& destinationText);

}  // namespace stowra
