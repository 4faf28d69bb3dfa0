#pragma once
// A folder field: the shared edit conventions, plus folders dropped from a file manager.

#include "dialogs/FieldEdit.h"

namespace stowra {

class FolderEdit : public FieldEdit {
    Q_OBJECT
public:
    explicit FolderEdit(QWidget* parent = nullptr);

    // What a drop of these paths does: the first one replaces the text when it names an existing
    // folder; a file or a missing path changes nothing. Returns whether the text changed.
    bool DropPaths(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace stowra
