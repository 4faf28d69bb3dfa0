#include "dialogs/MediaProbeView.h"

#include <QApplication>

#include "dialogs/QtPrompter.h"
#include "dialogs/TGetDialog.h"

namespace stowra {

void MediaProbeView::SetBusy(bool busy) {
    if (busy && !busy_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (!busy && busy_) {
        QApplication::restoreOverrideCursor();
    }
    busy_ = busy;
}

void MediaProbeView::ShowError(const std::string& message) {
    dialog_.Messages().Ask(message, "", MessageIcon::Stop, MessageButtons::Ok);
}

bool MediaProbeView::ChooseDrive(SCSI& transport) {
    TGetDialog drives(transport, &dialog_);
    return drives.exec() == QDialog::Accepted;
}

void MediaProbeView::SetClusterText(const std::string& text) {
    dialog_.EditCluster->setText(ToQt(text));
    dialog_.EditClusterExit(dialog_.EditCluster);
}

void MediaProbeView::SetNameText(const std::string& text) {
    dialog_.EditName->setText(ToQt(text));
}

void MediaProbeView::SetTotalText(const std::string& text) {
    dialog_.EditTotal->setText(ToQt(text));
    dialog_.EditClusterExit(dialog_.EditTotal);
}

}  // namespace stowra
