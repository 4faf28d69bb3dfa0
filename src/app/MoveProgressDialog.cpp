#include "app/MoveProgressDialog.h"

#include <QApplication>

#include "dialogs/QtPrompter.h"
#include "packing/PackResult.h"
#include "platform/Text.h"

namespace stowra {

bool MoveProgressDialog::Progress(const MoveProgress& p) {
    const std::uint64_t filesDone = p.filesMoved + p.filesFailed;  // how far the batch has come
    const std::uint64_t filesTotal = p.filesTotal, bytesDone = p.bytesDone, bytesTotal = p.bytesTotal;
    if (ended_) {
        return true;
    }
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
    const std::uint64_t permille = bytesTotal > 0   ? bytesDone * 1000 / bytesTotal
                                   : filesTotal > 0 ? filesDone * 1000 / filesTotal
                                                    : 0;
    dialog_->setValue(static_cast<int>(std::min<std::uint64_t>(permille, 1000)));
    // Bytes are counted only for copies to another file system; renames show files alone.
    std::string bytes = bytesTotal == 0
                            ? std::string()
                            : "  (" + SizeText(bytesDone, 1) + " / " + SizeText(bytesTotal, 1) + ")";
    // Only what was moved counts as moved; files that could not be moved are counted apart.
    std::string failed = p.filesFailed == 0 ? std::string()
                                            : Format(Tr("（移動できなかったファイル %llu）"),
                                                     static_cast<unsigned long long>(p.filesFailed));
    dialog_->setLabelText(
        ToQt(Format(Tr("ファイルを移動しています・・・\n%llu / %llu ファイル%s%s"),
                    static_cast<unsigned long long>(p.filesMoved),
                    static_cast<unsigned long long>(filesTotal), failed.c_str(), bytes.c_str())));
    QApplication::processEvents();
    const bool go_on = !dialog_->wasCanceled();
    if (!go_on || filesDone >= filesTotal) {
        Close();  // the last file is done, or the user stopped: the file operation is over
    }
    return go_on;
}

MessageAnswer MoveProgressDialog::Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                                      MessageButtons buttons) {
    if (dialog_ && buttons != MessageButtons::YesAllNoCancel) {
        Close();
    }
    return messages_.Ask(text, caption, icon, buttons);
}

void MoveProgressDialog::Close() {
    ended_ = true;
    dialog_.reset();
    pointer_.reset();
}

}  // namespace stowra
