// The scan: the source folder walked into the inventory (on one thread or several), the report
// of what was found, then the packing.
#include <functional>
#include <string>
#include <thread>

#include "packing/ScanSession.h"
#include "packing/ScanWalk.h"
#include "platform/Folder.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

void ScanState::Clear() {
    fileList.clear();
    fileList.shrink_to_fit();
    result.Clear();
    inventory.Clear();
}

bool CollectFiles(const std::string& folder, const ScanInput& input, FileInventory& inventory,
                  const std::function<bool()>& cancelled) {
    unsigned threads =
        input.threads > 0 ? static_cast<unsigned>(input.threads) : std::thread::hardware_concurrency();
    if (threads <= 1) {
        return scan_walk::WalkOnOneThread(folder, input, inventory, cancelled);
    }
    return scan_walk::WalkOnThreads(folder, input, inventory, cancelled, threads);
}

bool RunScan(const ScanInput& input, ScanState& state, ScanWindow& window) {
    if (!FolderExists(input.sourceFolder)) {
        window.Messages().Ask(Tr("入力フォルダが見つかりません"), "", MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    if (std::string problem = ProfileProblem(input.profile); !problem.empty()) {
        window.Messages().Ask(problem, "", MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    window.ClearResults();
    LogPane& log = window.Log();
    log.SetColor(LogColor::WindowText);
    log.Insert(Tr("ファイル情報を収集しています・・・\n"));
    log.Repaint();

    state.sourceRoot = AddTrailingBackslash(input.sourceFolder);
    state.profile = input.profile;
    state.inventory.totalSectors = 0;
    state.cancelled = false;
    const auto cluster = static_cast<std::uint32_t>(input.profile.Cluster);
    const FileInventory& found = state.inventory;
    auto progressText = [&found, cluster] {
        return Format(Tr("ファイル %llu 個、フォルダ %llu 個（%s）を見つけました"),
                      static_cast<unsigned long long>(found.fileCount),
                      static_cast<unsigned long long>(found.folderCount),
                      SizeText(found.totalSectors, cluster).c_str());
    };
    const bool collected = CollectFiles(state.sourceRoot, input, state.inventory, [&] {
        window.ScanProgress(progressText(), false);
        return window.ScanCancelled();
    });
    window.ScanProgress(progressText(), true);
    if (!collected) {
        // As if no scan had run: nothing half-collected is ever packed.
        window.ClearResults();
        state.cancelled = true;
        log.SetColor(LogColor::WindowText);
        log.Insert(Tr(kScanCancelledLine));
        log.Repaint();
        return true;
    }

    log.Clear();
    log.Insert(Format(
        Tr("対象ファイル数 = %llu （サイズ = %s）\n"),
        static_cast<unsigned long long>(state.inventory.fileCount),
        SizeText(state.inventory.totalSectors, static_cast<std::uint32_t>(input.profile.Cluster)).c_str()));
    if (state.inventory.skippedLinks > 0) {
        log.Insert(Format(Tr("シンボリックリンク %llu 個は対象外です（元の場所に残ります）\n"),
                          static_cast<unsigned long long>(state.inventory.skippedLinks)));
    }
    if (state.inventory.skippedCopies > 0) {
        log.SetColor(
            LogColor::Red);  // a move into this folder was killed: its copies are no files of the user's
        log.Insert(
            Format(Tr("移動が途中で止まったときのコピー（.stowra-tmp-）%llu 個が入力フォルダにあります。"
                      "対象外です（削除してかまいません）\n"),
                   static_cast<unsigned long long>(state.inventory.skippedCopies)));
        log.SetColor(LogColor::WindowText);
    }
    if (state.inventory.skippedNames > 0) {
        log.SetColor(LogColor::Red);  // files the user expects on the discs will not be there
        log.Insert(Format(Tr("名前をこのシステムの文字コードで表せないファイル・フォルダ %llu 個は対象外です"
                             "（元の場所に残ります）\n"),
                          static_cast<unsigned long long>(state.inventory.skippedNames)));
        log.SetColor(LogColor::WindowText);
    }
    log.Repaint();

    PackMedia(input, state, window);
    return true;
}

}  // namespace stowra
