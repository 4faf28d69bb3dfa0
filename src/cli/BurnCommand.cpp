#include "cli/BurnCommand.h"

#include <nlohmann/json.hpp>

#include "burn/BurnLibraries.h"
#include "burn/Burner.h"
#include "cli/CliWindow.h"
#include "cli/JsonWriter.h"
#include "cli/ScanCommand.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::cli {

namespace {

const char* OutcomeName(burning::BurnOutcome o) {
    switch (o) {
        case burning::BurnOutcome::Verified:
            return "verified";
        case burning::BurnOutcome::Written:
            return "written";
        case burning::BurnOutcome::Simulated:
            return "simulated";
        case burning::BurnOutcome::Refused:
            return "refused";
        case burning::BurnOutcome::Cancelled:
            return "cancelled";
        default:
            return "failed";
    }
}

bool Succeeded(burning::BurnOutcome o) {
    return o == burning::BurnOutcome::Verified || o == burning::BurnOutcome::Written ||
           o == burning::BurnOutcome::Simulated;
}

}  // namespace

void AddBurnOptions(CLI::App& command, BurnCommandOptions& o) {
    command.add_option("DISC_FOLDER", o.folders, "Disc folders, one disc each, in this order")->required();
    command.add_option("--device", o.device, "Drive (default: /dev/sr0), or stdio:FILE to write a file");
    command.add_option("--speed", o.speed, "Write speed in kB/s (default: 0, the drive's fastest)")
        ->check(CLI::Range(0, 1000000));
    command.add_option("--write-type", o.writeType, "auto, tao or sao (default: auto)")
        ->check(CLI::IsMember({"auto", "tao", "sao"}));
    command.add_option("--file-system", o.fileSystem, "File system of the discs (default: iso9660)")
        ->check(CLI::IsMember({"iso9660", "udf"}));
    command.add_flag("--simulate", o.simulate, "Go through the motions without writing");
    command.add_flag("--no-verify", o.noVerify, "Do not read the disc back after writing");
    command.add_flag("--eject", o.eject, "Eject each disc when it is done");
    command.add_flag("--yes", o.yes, "Do not wait for Enter before each disc");
    command.add_flag("--json", o.json, "Print one JSON document");
    command.footer(
        "A disc is refused before anything is written when it is not blank or too small, or when a\n"
        "file of its folder is not as the move left it (another size than the move's catalogue gives,\n"
        "or gone from its checksum file) or changed after the image was planned. A file that changes\n"
        "while it is written fails its disc. To compare every file's contents with the checksum file\n"
        "first, run 'stowra-cli verify DISC_FOLDER'.");
}

int RunBurnCommand(const BurnCommandOptions& options, std::istream& in, std::ostream& out,
                   std::ostream& err) {
    burning::BurnLibraries libraries;
    if (!libraries.Ready()) {
        err << libraries.Error() << '\n';
        return 1;
    }
    CatchInterrupts();
    FileSystem layout = FileSystem::Iso9660;
    ParseFileSystem(options.fileSystem, layout);
    burning::BurnOptions burnOptions;
    burnOptions.device = options.device;
    burnOptions.speedKBs = options.speed;
    burnOptions.writeType = options.writeType == "tao"   ? burning::WriteType::Tao
                            : options.writeType == "sao" ? burning::WriteType::Sao
                                                         : burning::WriteType::Auto;
    burnOptions.simulate = options.simulate;
    burnOptions.verify = !options.noVerify;
    burnOptions.eject = options.eject;
    const bool ask = !options.yes && IsConsole(0);
    const bool showProgress = !options.json && IsConsole(2);

    nlohmann::json discs = nlohmann::json::array();
    int code = 0;
    const std::size_t count = options.folders.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& folder = options.folders[i];
        if (ask) {
            err << Format(Tr("空のディスク %zu / %zu を入れて Enter を押してください: %s"), i + 1, count,
                          folder.c_str())
                << std::flush;
            std::string line;
            if (!std::getline(in, line)) {
                return kExitCancelled;
            }
        }
        const auto open = [&](std::string& error) { return burning::OpenImage({folder, layout, {}}, error); };
        const auto progress = [&](const burning::BurnProgress& p) {
            if (showProgress && p.total > 0) {
                const double percent = 100.0 * static_cast<double>(p.bytes) / static_cast<double>(p.total);
                if (p.verifying) {
                    err << '\r' << Format(Tr("確認中 %5.1f %%"), percent) << std::flush;
                } else {
                    err << '\r'
                        << Format(Tr("書き込み中 %5.1f %%  %.1f MB/s  残り %d 秒  バッファ %d %%"), percent,
                                  p.megabytesPerSecond, p.secondsLeft < 0 ? 0 : p.secondsLeft,
                                  p.bufferPercent)
                        << std::flush;
                }
            }
            return !Interrupted();
        };
        const burning::BurnResult r = burning::BurnDisc(open, burnOptions, progress);
        if (showProgress) {
            err << '\n';
        }
        for (const std::string& note : r.notes) {
            err << ForStream(2, note, false) << '\n';
        }
        nlohmann::json damaged = nlohmann::json::array();
        for (const burning::ImageFileCheck& d : r.damaged) {
            damaged.push_back(d.path);
        }
        if (options.json) {
            discs.push_back({{"disc", i + 1},
                             {"folder", folder},
                             {"outcome", OutcomeName(r.outcome)},
                             {"reason", r.reason},
                             {"notes", r.notes},
                             {"damaged", damaged},
                             {"profile", r.profile}});
        } else {
            std::string line;
            switch (r.outcome) {
                case burning::BurnOutcome::Verified:
                    line = Format(Tr("ディスク %zu: 書き込み、確認しました: %s"), i + 1, folder.c_str());
                    break;
                case burning::BurnOutcome::Written:
                    line = Format(Tr("ディスク %zu: 書き込みました (確認なし): %s"), i + 1, folder.c_str());
                    break;
                case burning::BurnOutcome::Simulated:
                    line = Format(Tr("ディスク %zu: 書き込みを試しました (何も書き込んでいません): %s"),
                                  i + 1, folder.c_str());
                    break;
                default:
                    line = Format(Tr("ディスク %zu: 失敗しました: %s: %s"), i + 1, folder.c_str(),
                                  r.reason.c_str());
                    break;
            }
            out << ForStream(1, line, false) << '\n';
            for (const burning::ImageFileCheck& d : r.damaged) {
                out << ForStream(1, Format(Tr("  壊れたファイル: %s"), d.path.c_str()), false) << '\n';
            }
        }
        if (!Succeeded(r.outcome)) {
            code = r.outcome == burning::BurnOutcome::Cancelled ? kExitCancelled : 1;
            if (r.outcome == burning::BurnOutcome::Cancelled) {
                break;
            }
        }
    }
    if (options.json) {
        out << DumpJson({{"discs", discs}, {"ok", code == 0}}) << '\n';
    }
    return code;
}

}  // namespace stowra::cli
