#include "burn/DiscCheck.h"

#include "burn/DriveReader.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::burning {

ImageCheckReport CheckDisc(const DiscCheckRequest& request, const CheckProgress& progress) {
    return request.image.empty() ? CheckDriveDisc(request.device, request.folder, progress)
                                 : CheckImageFile(request.image, request.folder, progress);
}

const char* ImageFileStateText(ImageFileState s) {
    switch (s) {
        case ImageFileState::Damaged:
            return Tr("壊れています (MD5 が合いません)");
        case ImageFileState::Differs:
            return Tr("フォルダのファイルと違います");
        case ImageFileState::Missing:
            return Tr("ディスクにありません");
        case ImageFileState::Unlisted:
            return Tr("フォルダにありません");
        default:
            return "OK";
    }
}

CheckOutcome DiscCheckOutcome(const DiscCheckRequest& request, const ImageCheckReport& report) {
    CheckOutcome out;
    const std::string& what = request.What();
    if (report.stopped) {
        out.line = Format(Tr("確認を中止しました: %s"), what.c_str());
    } else if (!report.error.empty()) {
        out.line = Format(Tr("確認できません: %s: %s"), what.c_str(), report.error.c_str());
    } else if (!report.problems.empty()) {
        std::string files;
        for (const ImageFileCheck& p : report.problems) {
            files +=
                (files.empty() ? "" : "; ") + Format("%s: %s", ImageFileStateText(p.state), p.path.c_str());
        }
        out.line = Format(Tr("問題があります: %s: %s"), what.c_str(), files.c_str());
    } else if (!report.sessionOk) {
        out.line = Format(Tr("問題があります: %s: %s"), what.c_str(),
                          Tr("セッション全体の MD5 が合いません: ディスクのどこかが壊れています"));
    } else if (!report.checksums && request.folder.empty()) {
        out.verdict = CheckVerdict::Unchecked;
        out.line = Format(Tr("確認できるものがありません: %s: このイメージには MD5 の記録がありません"),
                          what.c_str());
    } else {
        out.verdict = CheckVerdict::Verified;
        out.line = Format(Tr("確認しました: %s: %llu ファイル、問題なし"), what.c_str(),
                          static_cast<unsigned long long>(report.filesChecked));
    }
    return out;
}

}  // namespace stowra::burning
