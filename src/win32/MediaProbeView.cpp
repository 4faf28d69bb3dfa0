#include "win32/MediaProbeView.h"

#include "win32/TGetDialog.h"

namespace stowra {

void MediaProbeView::SetBusy(bool busy) {
    if (busy && !wait_) {
        wait_ = std::make_unique<WaitCursor>();
    } else if (!busy) {
        wait_.reset();
    }
}

void MediaProbeView::ShowError(const std::string& message) {
    dialog_.Messages().Ask(message, "", MessageIcon::Stop, MessageButtons::Ok);
}

bool MediaProbeView::ChooseDrive(SCSI& transport) {
    TGetDialog drives(dialog_.Messages(), transport);
    return drives.Run(dialog_.Handle());
}

void MediaProbeView::SetClusterText(const std::string& text) {
    dialog_.EditCluster.SetText(text);
    dialog_.EditClusterExit(dialog_.EditCluster);
}

void MediaProbeView::SetNameText(const std::string& text) {
    dialog_.EditName.SetText(text);
}

void MediaProbeView::SetTotalText(const std::string& text) {
    dialog_.EditTotal.SetText(text);
    dialog_.EditClusterExit(dialog_.EditTotal);
}

}  // namespace stowra
