#pragma once
// Progress of the batch move in a modal progress dialog with Cancel. While it shows, the rest of
// the program takes no input, so nothing can change the packing result the move is reading.

#include <QProgressDialog>
#include <memory>

#include "platform/FrontEnd.h"

namespace stowra {

class MoveProgressDialog : public ProgressSink {
public:
    explicit MoveProgressDialog(QWidget* owner) : owner_(owner) {}
    bool Progress(const MoveProgress& progress) override;

private:
    QWidget* owner_;
    std::unique_ptr<QProgressDialog> dialog_;  // created when the first file starts
};

}  // namespace stowra
