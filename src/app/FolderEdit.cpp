#include "app/FolderEdit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSysInfo>

#include "dialogs/QtPrompter.h"
#include "platform/Folder.h"

namespace stowra {

FolderEdit::FolderEdit(QWidget* parent) : FieldEdit(Keys::Text, parent) {
    setAcceptDrops(true);
}

void FolderEdit::SetNativeText(const std::string& path) {
    native_ = path;
    setText(ToQt(path));
}

std::string FolderEdit::NativeText() const {
    const QString shown = text();
    if (shown == ToQt(native_)) {
        return native_;
    }
    return FromQt(shown);
}

bool FolderEdit::DropPaths(const std::vector<std::string>& paths) {
    // Only the first path counts.
    if (paths.empty() || !FolderExists(paths.front())) {
        return false;
    }
    SetNativeText(paths.front());
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
    // The raw list, not QMimeData::urls(): a QUrl carries text, and a name that is not valid
    // UTF-8 would come back from it as other bytes.
    DropPaths(LocalPathsOfUriList(event->mimeData()->data(QStringLiteral("text/uri-list"))));
    event->acceptProposedAction();
}

std::vector<std::string> LocalPathsOfUriList(const QByteArray& uriList) {
    std::vector<std::string> paths;
    const QByteArray localHost = QSysInfo::machineHostName().toUtf8();
    for (QByteArray line : uriList.split('\n')) {
        line = line.trimmed();  // the list's lines end in CR LF
        if (line.isEmpty() || line.startsWith('#') || line.size() < 5 ||
            line.left(5).toLower() != QByteArrayLiteral("file:")) {
            continue;
        }
        QByteArray rest = line.mid(5);
        if (rest.startsWith("//")) {
            const qsizetype slash = rest.indexOf('/', 2);
            const QByteArray host = rest.mid(2, slash < 0 ? -1 : slash - 2);
            if (slash < 0 || (!host.isEmpty() && host != "localhost" && host != localHost)) {
                continue;
            }
            rest = rest.mid(slash);
        }
        const QByteArray path = QByteArray::fromPercentEncoding(rest);
        if (path.isEmpty() || path.contains('\0')) {
            continue;
        }
        paths.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
    }
    return paths;
}

}  // namespace stowra
