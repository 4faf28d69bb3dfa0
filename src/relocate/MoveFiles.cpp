#include "relocate/MoveFiles.h"

#include <optional>

#include "packing/DiscFolder.h"
#include "packing/DiscImage.h"
#include "platform/Folder.h"
#include "platform/PathInfo.h"
#include "platform/Text.h"
#include "platform/Translation.h"
#include "relocate/FolderCleanup.h"
#include "relocate/IndexFiles.h"
#include "relocate/MoveChecksums.h"

namespace stowra {

namespace {

constexpr const char* kDestinationMissing = "出力フォルダが見つかりません";
constexpr const char* kSameFolder = "入力フォルダと出力フォルダが同じです";
constexpr const char* kInsideSource = "出力フォルダが入力フォルダ配下に含まれてしまっています";
constexpr const char* kOtherDrive =
    "入力フォルダと出力フォルダのドライブが異なっているため、\nファイルの移動に時間がかかるかもしれません。\n"
    "よろしいですか？";
constexpr const char* kMayMove = "対象ファイルを移動してよいですか？";
constexpr const char* kCancelled = "移動が途中でキャンセルされました";
constexpr const char* kFailed = "移動に失敗したファイルがありました";
constexpr const char* kMoved = "対象ファイルを移動しました";
constexpr const char* kConfirmCaption = "確認";
constexpr const char* kMessageCaption = "メッセージ";
constexpr const char* kMovingLine = "\nファイルを移動しています・・・";
constexpr const char* kIndexNameTaken =
    "入力フォルダに、詰め込み一覧ファイルと同じ名前のファイルがあります。\n%s\n\n"
    "名前を変えてから、もう一度詰め込み調査をしてください。";
constexpr const char* kNoStampFolder = "移動先のフォルダを作成できませんでした。\n%s";

std::string Resolved(const std::string& path) {
    std::optional<std::string> real = ResolvePath(path);
    return real ? *real : AbsolutePathText(path);
}

// Resolved paths are absolute, so only a root ("/", "C:\\") ends in the delimiter.
bool IsInside(const std::string& inner, const std::string& outer) {
    bool root = EndsWithDelimiter(outer, kPathDelimiter, kNativeCodepage);
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           (root || inner[outer.size()] == kPathDelimiter);
}

// The folder above an absolute path; empty above the root. A trail byte of a double-byte
// character that looks like the delimiter does not count.
std::string Parent(std::string path) {
    if (EndsWithDelimiter(path, kPathDelimiter, kNativeCodepage)) {
        return {};  // the root
    }
    while (!path.empty() && !EndsWithDelimiter(path, kPathDelimiter, kNativeCodepage)) {
        path.pop_back();
    }
    // "/a" and "C:\\a" live in the root itself, which keeps its delimiter.
    if (path.size() > 1 && !(path.size() == 3 && path[1] == ':')) {
        path.pop_back();
    }
    return path;
}

const char* RefusalText(FolderCheck check) {
    switch (check) {
        case FolderCheck::DestinationMissing:
            return kDestinationMissing;
        case FolderCheck::SameFolder:
            return kSameFolder;
        default:
            return kInsideSource;
    }
}

bool Confirmed(Prompter& prompter, const char* text) {
    return prompter.Ask(Tr(text), Tr(kConfirmCaption), MessageIcon::Exclamation, MessageButtons::OkCancel) ==
           MessageAnswer::Ok;
}

// A folder named like a scan's time stamp, "yyyymmdd-hhnnss", with the "-N" that a second move of
// the same second adds.
bool IsStampName(std::string_view name) {
    if (name.size() < 15 || name[8] != '-' || (name.size() > 15 && (name.size() == 16 || name[15] != '-'))) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (i != 8 && i != 15 && (name[i] < '0' || name[i] > '9')) {
            return false;
        }
    }
    return true;
}

// A folder of this move's own below the destination: the stamp's name when it is free, else the
// next free "stamp-N". Taking over a folder that exists would mix two moves on one disc, and in a
// destination that others can write it could be a planted link. Empty when none can be made.
std::string ClaimStampFolder(const std::string& destinationFolder, const std::string& stamp) {
    const std::string root = AddTrailingBackslash(destinationFolder);
    for (int n = 1; n <= 1000; ++n) {
        std::string name = n == 1 ? stamp : stamp + "-" + std::to_string(n);
        switch (CreateNewFolder(root + name)) {
            case NewFolder::Created:
                return name;
            case NewFolder::Exists:
                continue;
            case NewFolder::Failed:
                return {};
        }
    }
    return {};
}

// A file at the top of a disc named like that disc's index file, which the index would have to
// replace.
const FileItem* IndexNameTaken(const ScanState& state) {
    std::vector<const FileItem*> files;
    for (std::size_t n = 1; n <= state.result.media.size(); ++n) {
        const std::string index = IndexLeafName(state.scanStamp, n);
        BuildFileList(state.result.media[n - 1], files);
        for (const FileItem* f : files) {
            if (f->path() == index) {
                return f;
            }
        }
    }
    return nullptr;
}

// Measures every disc folder as it is now, its index file included, against the disc, and names in
// red each one that no longer fits: the packing promised it would, from sizes taken at the scan.
std::vector<std::size_t> CheckDiscFolders(const ScanState& state, const std::string& destinationRoot,
                                          LogPane& log) {
    std::vector<std::size_t> overfull;
    const MediaProfile& p = state.profile;
    // With no file system the files alone are measured against the whole disc: the index files
    // were never counted then, and the system's room is the file system's, not the files'.
    const auto room = static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.Total));
    for (std::size_t n = 1; n <= state.result.media.size(); ++n) {
        std::string error;
        const std::string folder = destinationRoot + std::to_string(n);
        std::optional<std::uint64_t> sectors = DiscFolderSectors(folder, p.fileSystem, p.Cluster, error);
        if (!sectors || *sectors <= room) {
            continue;  // a folder that cannot be read was reported by the move itself
        }
        overfull.push_back(n);
        log.SetColor(LogColor::Red);
        log.Insert(Format(Tr("メディア %zu は、移動の後で測ると %llu セクタで、容量 %llu セクタを %llu "
                             "セクタ超えています。\n"),
                          n, static_cast<unsigned long long>(*sectors), static_cast<unsigned long long>(room),
                          static_cast<unsigned long long>(*sectors - room)));
        log.Repaint();
    }
    return overfull;
}

}  // namespace

// Copies left unfinished by a move that was killed lie in earlier disc folders of this
// destination, where they would be burned: remove them before the next move.
void RemoveUnfinishedCopies(const std::string& destinationFolder) {
    std::string root = AddTrailingBackslash(destinationFolder);
    auto folder = Folder::Open(root);
    DirListing listing;
    if (!folder || !folder->List({}, listing)) {
        return;
    }
    for (const DirListing::Entry& e : listing.Entries()) {
        if (e.kind == EntryKind::Folder && IsStampName(listing.Name(e))) {
            RemoveStaleCopies(root + std::string(listing.Name(e)));
        }
    }
}

namespace {

void AppendEntry(std::string& list, std::string_view a, std::string_view b) {
    list.append(a);
    list.append(b);
    list.push_back('\0');
}

}  // namespace

FolderVerdict CheckFolders(const std::string& sourceRoot, const std::string& destinationFolder) {
    FolderVerdict verdict;
    if (!FolderExists(destinationFolder)) {
        verdict.check = FolderCheck::DestinationMissing;
        return verdict;
    }
    if (sourceRoot.empty()) {
        verdict.check = FolderCheck::DestinationInsideSource;
        return verdict;
    }
    std::string source = Resolved(sourceRoot);
    std::string destination = Resolved(destinationFolder);
    if (source == destination) {
        verdict.check = FolderCheck::SameFolder;
    } else if (IsInside(destination, source)) {
        verdict.check = FolderCheck::DestinationInsideSource;
    } else if (std::optional<FolderId> src = IdentityOf(source)) {
        // The same folder may be reached under another path (a bind mount): compare the folders
        // themselves, the destination's and each one above it.
        // Above a root, the folder a drive letter stands for may lie inside the source (under wine
        // every letter is a link to a Linux folder, with a volume number of its own).
        std::string up = destination;
        for (int steps = 0; !up.empty() && steps < 4096; ++steps) {
            if (IdentityOf(up) == src) {
                verdict.check =
                    up == destination ? FolderCheck::SameFolder : FolderCheck::DestinationInsideSource;
                break;
            }
            std::optional<std::string> above = FolderAboveRoot(up);
            if (above && IdentityOf(*above) == IdentityOf(up)) {
                break;  // the top of it all
            }
            up = above ? *above : Parent(up);
        }
    }
    std::optional<std::uint64_t> a = FileSystemOf(sourceRoot);
    std::optional<std::uint64_t> b = FileSystemOf(destinationFolder);
    verdict.otherFileSystem = a && b && *a != *b;
    return verdict;
}

std::string DestinationRoot(const std::string& destinationFolder, const std::string& scanStamp) {
    return AddTrailingBackslash(destinationFolder) + scanStamp + kPathDelimiter;
}

TransferLists BuildTransferLists(const ScanState& state, const std::string& destinationRoot) {
    TransferLists lists;
    std::vector<const FileItem*> files;
    const MediaList& media = state.result.media;
    for (std::size_t n = 1; n <= media.size(); ++n) {
        std::string mediumFolder = destinationRoot + std::to_string(n) + kPathDelimiter;
        BuildFileList(media[n - 1], files);
        for (const FileItem* f : files) {
            AppendEntry(lists.sources, state.sourceRoot, f->path());
            AppendEntry(lists.destinations, mediumFolder, f->path());
        }
        lists.count += files.size();
    }
    lists.sources.push_back('\0');
    lists.destinations.push_back('\0');
    return lists;
}

MoveReport MoveFiles(const MoveInput& input, ScanState& state, ScanWindow& window, ProgressSink& progress) {
    MoveReport report;
    if (!state.HasResult()) {
        return report;
    }
    Prompter& prompter = window.Messages();
    FolderVerdict verdict = CheckFolders(state.sourceRoot, input.destinationFolder);
    if (verdict.check != FolderCheck::Ok) {
        prompter.Ask(Tr(RefusalText(verdict.check)), "", MessageIcon::Stop, MessageButtons::Ok);
        report.outcome = MoveOutcome::Refused;
        return report;
    }
    if ((input.options & OptionFlags::WriteIndex) != 0) {
        if (const FileItem* taken = IndexNameTaken(state)) {
            prompter.Ask(Format(Tr(kIndexNameTaken), (state.sourceRoot + std::string(taken->path())).c_str()),
                         "", MessageIcon::Stop, MessageButtons::Ok);
            report.outcome = MoveOutcome::Refused;
            return report;
        }
    }
    if ((verdict.otherFileSystem && !Confirmed(prompter, kOtherDrive)) || !Confirmed(prompter, kMayMove)) {
        report.outcome = MoveOutcome::Declined;
        return report;
    }

    LogPane& log = window.Log();
    log.SetColor(LogColor::WindowText);
    log.Insert(Tr(kMovingLine));
    log.Repaint();

    RemoveUnfinishedCopies(input.destinationFolder);
    const std::string stampFolder = ClaimStampFolder(input.destinationFolder, state.scanStamp);
    if (stampFolder.empty()) {
        prompter.Ask(
            Format(Tr(kNoStampFolder), DestinationRoot(input.destinationFolder, state.scanStamp).c_str()), "",
            MessageIcon::Stop, MessageButtons::Ok);
        report.outcome = MoveOutcome::Refused;  // nothing moved: the result stays for another try
        return report;
    }
    report.destinationRoot = DestinationRoot(input.destinationFolder, stampFolder);
    BatchMoveResult moved;
    const TransferLists lists = BuildTransferLists(state, report.destinationRoot);
    std::optional<MoveChecksums> sums;
    if ((input.options & OptionFlags::WriteChecksums) != 0) {
        sums.emplace(lists.destinations);
    }
    {
        std::string own = report.destinationRoot;
        own.pop_back();  // the delimiter
        moved =
            BatchMove(lists.sources, lists.destinations, prompter, progress, own, sums ? &*sums : nullptr);
    }
    report.failures = std::move(moved.failures);
    if (moved.cancelled) {
        report.outcome = MoveOutcome::Cancelled;
        prompter.Ask(Tr(kCancelled), Tr(kMessageCaption), MessageIcon::Exclamation, MessageButtons::Ok);
    } else if (moved.failed) {
        report.outcome = MoveOutcome::Failed;
        // The result is gone either way; the list of what stayed behind, and why, is what the
        // user needs to read next to the message.
        window.ClearResults();
        window.ShowMoveFailures(report.failures);
        prompter.Ask(Tr(kFailed), "", MessageIcon::Stop, MessageButtons::Ok);
        return report;
    } else {
        report.outcome = MoveOutcome::Moved;
        if ((input.options & OptionFlags::WriteIndex) != 0) {
            report.indexFailures = WriteIndexFiles(report.destinationRoot, state, log);
        }
        // Last of what the move writes: every file is in place. A copy was hashed as it was copied;
        // a file that was renamed is read once where it will be burned from.
        if (sums) {
            report.checksumsStopped = !sums->HashTheRest(progress);
            for (std::string& name : WriteChecksumFiles(report.destinationRoot, state, *sums, log)) {
                report.indexFailures.push_back(std::move(name));
            }
        }
        report.catalogue = CatalogueFileName(report.destinationRoot, state.scanStamp);
        if (std::string failed = WriteCatalogue(report.destinationRoot, state, sums ? &*sums : nullptr, log);
            !failed.empty()) {
            report.indexFailures.push_back(std::move(failed));
            report.catalogue.clear();
        }
        report.overfull = CheckDiscFolders(state, report.destinationRoot, log);
        if ((input.options & OptionFlags::RemoveEmptied) != 0) {
            RemoveEmptyFolders(state.sourceRoot);
        }
        prompter.Ask(Tr(kMoved), Tr(kMessageCaption), MessageIcon::None, MessageButtons::Ok);
    }
    window.ClearResults();
    return report;
}

}  // namespace stowra
