#include "cli/VerifyCommand.h"

#include <array>
#include <nlohmann/json.hpp>

#include "cli/CliWindow.h"
#include "cli/JsonWriter.h"
#include "platform/Text.h"
#include "platform/Translation.h"
#include "relocate/VerifyDisc.h"

namespace stowra::cli {

namespace {

const char* StateName(VerifyState s) {
    switch (s) {
        case VerifyState::Ok:
            return "ok";
        case VerifyState::Changed:
            return "changed";
        case VerifyState::Missing:
            return "missing";
        case VerifyState::Unreadable:
            return "unreadable";
        case VerifyState::Unlisted:
            return "unlisted";
    }
    return "ok";
}

const char* StateText(VerifyState s) {
    switch (s) {
        case VerifyState::Changed:
            return Tr("変更されています");
        case VerifyState::Missing:
            return Tr("見つかりません");
        case VerifyState::Unreadable:
            return Tr("読めません");
        case VerifyState::Unlisted:
            return Tr("チェックサムファイルにありません");
        default:
            return "OK";
    }
}

}  // namespace

void AddVerifyOptions(CLI::App& command, VerifyOptions& o) {
    command.add_option("FOLDER", o.folder, "A mounted disc or a disc folder with its checksum file");
#ifdef STOWRA_WITH_BURN
    command.add_option("--image", o.image,
                       "Check this disc image (and, given FOLDER, every file against it)");
    command.add_option("--device", o.device, "Read back the disc in this drive and check it the same way");
#endif
    command.add_flag("--json", o.json, "Print one JSON document");
}

int RunVerifyCommand(const VerifyOptions& options, std::ostream& out, std::ostream& err) {
#ifdef STOWRA_WITH_BURN
    if (!options.image.empty() || !options.device.empty()) {
        return RunVerifyImageCommand(options, out, err);
    }
#endif
    if (options.folder.empty()) {
        err << Tr("確認するフォルダ、イメージ (--image) またはドライブ (--device) を指定してください")
            << '\n';
        return 2;
    }
    const VerifyReport report = VerifyDisc(options.folder);
    if (!report.error.empty()) {
        err << report.error << '\n';
        return 2;
    }
    std::array<std::size_t, 5> counts{};
    for (const VerifyEntry& e : report.entries) {
        ++counts[static_cast<std::size_t>(e.state)];
    }
    if (options.json) {
        nlohmann::json files = nlohmann::json::array();
        for (const VerifyEntry& e : report.entries) {
            files.push_back({{"path", e.path}, {"state", StateName(e.state)}});
        }
        const nlohmann::json doc = {{"folder", options.folder}, {"files", files}, {"ok", report.AllOk()}};
        out << DumpJson(doc) << '\n';
    } else {
        for (const VerifyEntry& e : report.entries) {
            if (e.state != VerifyState::Ok) {
                out << ForStream(1, Format("%s: %s", StateText(e.state), e.path.c_str()), false) << '\n';
            }
        }
        out << Format(Tr("%zu ファイルを確認しました: OK %zu、変更 %zu、見つからない %zu、読めない "
                         "%zu、一覧にない %zu"),
                      report.entries.size(), counts[0], counts[1], counts[2], counts[3], counts[4])
            << '\n';
    }
    return report.AllOk() ? 0 : 1;
}

}  // namespace stowra::cli
