#include "app/MoveProgressDialog.h"

#include <QApplication>

#include "dialogs/QtPrompter.h"

namespace stowra {

void MoveProgressDialog::ShowProgress(const std::string& label, int permille) {
    if (!dialog_) {
        dialog_ = std::make_unique<QProgressDialog>(owner_);
        dialog_->setWindowTitle(QStringLiteral("Stowra"));
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setCancelButtonText(QTr("キャンセル"));
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setRange(0, 1000);
        dialog_->setMinimumWidth(360);
        pointer_ = std::make_unique<UserTurnCursor>();
        dialog_->show();
    }
    dialog_->setValue(permille);
    dialog_->setLabelText(ToQt(label));
    QApplication::processEvents();
}

void MoveProgressDialog::CloseProgress() {
    dialog_.reset();
    pointer_.reset();
}

}  // namespace stowra
