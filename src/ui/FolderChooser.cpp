#include "ui/FolderChooser.h"

#include "platform/Translation.h"

namespace stowra {

bool ChooseSourceFolder(FolderChooser& chooser, std::string& sourceText, ScanWindow& window) {
    std::string chosen = chooser.SelectFolder(Tr(kSourceFolderTitle));
    if (chosen.empty()) {
        return false;
    }
    sourceText = std::move(chosen);
    window.ClearResults();
    return true;
}

bool ChooseDestinationFolder(FolderChooser& chooser, std::string& destinationText) {
    std::string chosen = chooser.SelectFolder(Tr(kDestinationFolderTitle));
    if (chosen.empty()) {
        return false;
    }
    destinationText = std::move(chosen);
    return true;
}

}  // namespace stowra
