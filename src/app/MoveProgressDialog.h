#pragma once
// Progress of the batch move in a modal progress dialog with Cancel. While it shows, the rest of
// the program takes no input, so nothing can change the packing result the move is reading.
//
// The move's messages pass through it as well: the question about replacing a file belongs to
// the file operation and is asked over the progress, while any other message comes after the
// operation has ended, so the progress closes before it. Nothing is left to cancel then.

#include <QProgressDialog>
#include <memory>

#include "dialogs/BusyCursor.h"
#include "frontend/FrontEnd.h"

namespace stowra {

class MoveProgressDialog : public ProgressSink, public Prompter {
public:
    MoveProgressDialog(QWidget* owner, Prompter& messages) : owner_(owner), messages_(messages) {}
    bool Progress(const MoveProgress& progress) override;
    MessageAnswer Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                      MessageButtons buttons) override;

    // Closes the progress for good; later reports of the same move show nothing.
    void Close();
    // The progress while it shows, else null.
    QProgressDialog* Dialog() const { return dialog_.get(); }

private:
    QWidget* owner_;
    Prompter& messages_;
    bool ended_ = false;
    std::unique_ptr<QProgressDialog> dialog_;  // created when the first file starts
    std::unique_ptr<UserTurnCursor> pointer_;  // the normal cursor over Cancel
};

}  // namespace stowra
