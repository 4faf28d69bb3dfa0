#include "cli/VerifyCommand.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/CliWindow.h"
#include "cli/JsonWriter.h"
#include "cli/ScanCommand.h"
#include "packing/PackResult.h"
#include "platform/Process.h"
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

// One line on a terminal's standard error, rewritten in place; nothing on a pipe or in a file. Ctrl-C
// stops the check.
class VerifyProgress : public ProgressSink {
public:
    VerifyProgress() : tty_(IsConsole(2)) {}
    ~VerifyProgress() override {
        if (open_) {
            std::fputs("\r\033[K", stderr);
        }
    }
    VerifyProgress(const VerifyProgress&) = delete;
    VerifyProgress& operator=(const VerifyProgress&) = delete;
    bool Progress(const MoveProgress& p) override {
        const auto now = std::chrono::steady_clock::now();
        if (tty_ && now - shown_ >= std::chrono::milliseconds(100)) {
            shown_ = now;
            std::fprintf(stderr, Tr("\r確認しています: %llu / %llu ファイル, %s / %s\033[K"),
                         static_cast<unsigned long long>(p.filesMoved + p.filesFailed),
                         static_cast<unsigned long long>(p.filesTotal), SizeText(p.bytesDone, 1).c_str(),
                         SizeText(p.bytesTotal, 1).c_str());
            std::fflush(stderr);
            open_ = true;
        }
        return !Interrupted();
    }

private:
    bool tty_;
    bool open_ = false;
    std::chrono::steady_clock::time_point shown_{};
};

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
    CatchInterrupts();
    VerifyReport report;
    {
        VerifyProgress progress;
        report = VerifyDisc(options.folder, &progress);
    }
    if (!report.error.empty()) {
        err << report.error << '\n';
        return 2;
    }
    if (report.stopped) {
        err << Tr("確認は途中で中断されました。") << '\n';
        return kExitCancelled;
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
                out << ForStream(1, Format("%s: %s", VerifyStateText(e.state), e.path.c_str()), false)
                    << '\n';
            }
        }
        out << VerifySummary(report) << '\n';
    }
    return report.AllOk() ? 0 : 1;
}

}  // namespace stowra::cli
