#include <nlohmann/json.hpp>

#include "burn/BurnLibraries.h"
#include "burn/DiscCheck.h"
#include "cli/CliWindow.h"
#include "cli/JsonWriter.h"
#include "cli/VerifyCommand.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::cli {

namespace {

const char* StateName(burning::ImageFileState s) {
    switch (s) {
        case burning::ImageFileState::Damaged:
            return "damaged";
        case burning::ImageFileState::Differs:
            return "changed";
        case burning::ImageFileState::Missing:
            return "missing";
        case burning::ImageFileState::Unlisted:
            return "unlisted";
        default:
            return "ok";
    }
}

}  // namespace

int RunVerifyImageCommand(const VerifyOptions& options, std::ostream& out, std::ostream& err) {
    burning::BurnLibraries libraries;
    if (!libraries.Ready()) {
        err << libraries.Error() << '\n';
        return 2;
    }
    const burning::DiscCheckRequest request{options.image, options.device, options.folder};
    const burning::ImageCheckReport report = burning::CheckDisc(request);
    const std::string& what = request.What();
    if (!report.error.empty()) {
        err << ForStream(2, report.error, false) << '\n';
        if (options.json) {
            out << DumpJson({{"image", what}, {"error", report.error}}) << '\n';
        }
        return 2;
    }
    if (options.json) {
        nlohmann::json files = nlohmann::json::array();
        for (const burning::ImageFileCheck& p : report.problems) {
            files.push_back({{"path", p.path}, {"state", StateName(p.state)}});
        }
        out << DumpJson({{"image", what},
                         {"checksums", report.checksums},
                         {"sessionOk", report.sessionOk},
                         {"filesChecked", report.filesChecked},
                         {"problems", files},
                         {"ok", report.AllOk()}})
            << '\n';
    } else {
        for (const burning::ImageFileCheck& p : report.problems) {
            out << ForStream(1, Format("%s: %s", burning::ImageFileStateText(p.state), p.path.c_str()), false)
                << '\n';
        }
        if (!report.sessionOk) {
            out << Tr("セッション全体の MD5 が合いません: ディスクのどこかが壊れています") << '\n';
        }
        if (!report.checksums && options.folder.empty()) {
            out << Tr("このイメージには MD5 の記録がありません: "
                      "ディスクフォルダを指定すると、ファイルを一つずつ比べます")
                << '\n';
        }
        out << Format(Tr("%llu ファイルを確認しました: 問題 %zu"),
                      static_cast<unsigned long long>(report.filesChecked), report.problems.size())
            << '\n';
    }
    return report.AllOk() ? 0 : 1;
}

}  // namespace stowra::cli
