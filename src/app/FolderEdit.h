#pragma once
// A folder field: the shared edit conventions, plus folders dropped from a file manager. The
// field keeps the folder's exact bytes beside its text, since a name that is not valid text in
// the platform's encoding shows with replacement characters and would come back as other bytes.

#include <QByteArray>
#include <string>
#include <vector>

#include "dialogs/FieldEdit.h"

namespace stowra {

class FolderEdit : public FieldEdit {
    Q_OBJECT
public:
    explicit FolderEdit(QWidget* parent = nullptr);

    // Shows a folder given as bytes in the platform's encoding and keeps those bytes.
    void SetNativeText(const std::string& path);
    // The folder as bytes: those last given while the field still shows them, else the text as
    // the user typed it.
    std::string NativeText() const;

    // What a drop of these paths does: the first one replaces the text when it names an existing
    // folder; a file or a missing path changes nothing. Returns whether the text changed.
    bool DropPaths(const std::vector<std::string>& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    std::string native_;
};

// The local paths named by a text/uri-list, in order, each percent-decoded byte for byte. Lines
// that are comments, other schemes, other hosts or that would hold a NUL byte are left out.
std::vector<std::string> LocalPathsOfUriList(const QByteArray& uriList);

}  // namespace stowra
