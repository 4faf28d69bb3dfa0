#include "app/FolderEdit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "dialogs/QtPrompter.h"
#include "platform/Folder.h"

namespace stowra {

FolderEdit::FolderEdit(QWidget* parent) : FieldEdit(Keys::Text, parent) {
    setAcceptDrops(true);
}

bool FolderEdit::DropPaths(const QStringList& paths) {
    if (paths.isEmpty()) {
        return false;
    }
    // Only the first path counts.
    if (!FolderExists(FromQt(paths.front()))) {
        return false;
    }
    setText(paths.front());
    return true;
}

void FolderEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void FolderEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void FolderEdit::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    DropPaths(paths);
    event->acceptProposedAction();
}

}  // namespace stowra
