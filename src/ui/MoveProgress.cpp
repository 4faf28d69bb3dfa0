#include "ui/MoveProgress.h"

#include <algorithm>

#include "packing/PackResult.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

std::string MoveProgressLabel(const MoveProgress& p) {
    // Bytes are counted only for copies to another file system; renames show files alone.
    const std::string bytes =
        p.bytesTotal == 0 ? std::string()
                          : "  (" + SizeText(p.bytesDone, 1) + " / " + SizeText(p.bytesTotal, 1) + ")";
    if (p.checksums) {
        const std::string unread =
            p.filesFailed == 0
                ? std::string()
                : Format(Tr("、読めなかったファイル %llu"), static_cast<unsigned long long>(p.filesFailed));
        return Format(Tr("チェックサムを計算しています・・・\n計算済み %llu / %llu ファイル%s%s"),
                      static_cast<unsigned long long>(p.filesMoved),
                      static_cast<unsigned long long>(p.filesTotal), unread.c_str(), bytes.c_str());
    }
    // Only what was moved counts as moved; files that could not be moved are counted apart.
    const std::string failed = p.filesFailed == 0 ? std::string()
                                                  : Format(Tr("、移動しなかったファイル %llu"),
                                                           static_cast<unsigned long long>(p.filesFailed));
    return Format(Tr("ファイルを移動しています・・・\n移動済み %llu / %llu ファイル%s%s"),
                  static_cast<unsigned long long>(p.filesMoved),
                  static_cast<unsigned long long>(p.filesTotal), failed.c_str(), bytes.c_str());
}

int MoveProgressPermille(const MoveProgress& p) {
    const std::uint64_t filesDone = p.filesMoved + p.filesFailed;
    const std::uint64_t permille = p.bytesTotal > 0   ? p.bytesDone * 1000 / p.bytesTotal
                                   : p.filesTotal > 0 ? filesDone * 1000 / p.filesTotal
                                                      : 0;
    return static_cast<int>(std::min<std::uint64_t>(permille, 1000));
}

bool MoveProgressModel::Progress(const MoveProgress& p) {
    if (p.checksums && !checksums_) {
        // The files are read for their checksums after the move: the same window shows it.
        checksums_ = true;
        ended_ = false;
    }
    if (ended_) {
        return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!shown_ || now - lastShown_ >= interval_) {
        shown_ = true;
        lastShown_ = now;
        view_.ShowProgress(MoveProgressLabel(p), MoveProgressPermille(p));
    }
    const bool goOn = !view_.CancelRequested();
    if (!goOn || p.filesMoved + p.filesFailed >= p.filesTotal) {
        Close();  // the last file is done, or the user stopped: the file operation is over
    }
    return goOn;
}

MessageAnswer MoveProgressModel::Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                                     MessageButtons buttons) {
    if (shown_ && !ended_ && buttons != MessageButtons::YesAllNoCancel) {
        Close();
    }
    return messages_.Ask(text, caption, icon, buttons);
}

void MoveProgressModel::Close() {
    ended_ = true;
    if (shown_) {
        shown_ = false;
        view_.CloseProgress();
    }
}

}  // namespace stowra
