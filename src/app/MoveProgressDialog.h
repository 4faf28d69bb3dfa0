#pragma once
// Progress of the batch move in a modal progress dialog with Cancel. While it shows, the rest of
// the program takes no input, so nothing can change the packing result the move is reading. When
// it closes and what it says are the shared rules of the move's progress.

#include <QProgressDialog>
#include <memory>

#include "dialogs/BusyCursor.h"
#include "ui/MoveProgress.h"

namespace stowra {

class MoveProgressDialog : public ProgressView, public MoveProgressModel {
public:
    MoveProgressDialog(QWidget* owner, Prompter& messages)
        : MoveProgressModel(*this, messages), owner_(owner) {}

    void ShowProgress(const std::string& label, int permille) override;
    bool CancelRequested() override { return dialog_ && dialog_->wasCanceled(); }
    void CloseProgress() override;
    // The progress while it shows, else null.
    QProgressDialog* Dialog() const { return dialog_.get(); }

private:
    QWidget* owner_;
    std::unique_ptr<QProgressDialog> dialog_;  // created when the first file starts
    std::unique_ptr<UserTurnCursor> pointer_;  // the normal cursor over Cancel
};

}  // namespace stowra
