#include "packing/DiscFolder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "packing/WrittenImage.h"
#include "platform/Folder.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

namespace {

struct FolderIdHash {
    std::size_t operator()(const FolderId& id) const noexcept {
        return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

// A path of the model's ('/' between folders) as the system writes it.
std::string NativePath(std::string path) {
    ReplaceDelimiters(path, '/', kPathDelimiter, kNativeCodepage);
    return path;
}

// What a link points to, as the builders read it; none when it cannot be read.
std::optional<std::string> LinkTarget(const std::string& path) {
#ifdef _WIN32
    // A reparse point: its target is not read here. The longest path Windows names without the
    // long form, in characters of one byte each between delimiters, is the most it can cost.
    (void)path;
    std::string worst;
    for (int i = 0; i < 130; ++i) {
        worst += "x/";
    }
    return worst;
#else
    std::error_code ec;
    std::filesystem::path target = std::filesystem::read_symlink(path, ec);
    if (ec) {
        return std::nullopt;
    }
    return target.native();
#endif
}

}  // namespace

std::uint64_t ToProfileSectors(std::uint64_t imageSectors, std::uint32_t sectorSize) {
    if (sectorSize == 0 || sectorSize == 2048) {
        return imageSectors;
    }
    // Exact in 64 bits for any image a disc can hold: 2^53 bytes are far beyond every medium.
    const std::uint64_t bytes = imageSectors * 2048;
    return bytes / sectorSize + (bytes % sectorSize != 0 ? 1 : 0);
}

std::uint32_t SymlinkRecordBytes(std::string_view target) {
    // Component records: 2 bytes each, plus the characters of a named one (a lone "/" at the
    // start is the root component). A component longer than one record holds is split.
    constexpr std::uint64_t kComponent = 248;
    std::uint64_t components = 0;
    std::size_t start = 0;
    if (!target.empty() && target.front() == '/') {
        components += 2;
        start = 1;
    }
    while (start <= target.size()) {
        std::size_t end = target.find('/', start);
        if (end == std::string_view::npos) {
            end = target.size();
        }
        const std::uint64_t n = end - start;
        if (n > 0 || end < target.size()) {
            components += n == 0 ? 2 : n + 2 * ((n + kComponent - 1) / kComponent);
        }
        start = end + 1;
    }
    // SL fields of at most 255 bytes, 5 of them the field's header, and a second continuation
    // reference when the field does not fit beside the others.
    const std::uint64_t fields = components / 250 + 1;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(components + 5 * fields + 28, 0xFFFFFFFFu));
}

bool CollectDiscEntries(const std::string& folder, std::vector<std::string>& paths,
                        std::vector<ImageEntry>& entries, std::string& error) {
    paths.clear();
    entries.clear();
    const std::string root = AddTrailingBackslash(folder);
    std::optional<Folder> base = Folder::Open(folder);
    if (!base) {
        error = FolderExists(folder) ? Format(Tr("フォルダを開けません: %s"), folder.c_str())
                : FileExists(folder) ? Format(Tr("フォルダではありません: %s"), folder.c_str())
                                     : Format(Tr("フォルダが見つかりません: %s"), folder.c_str());
        return false;
    }
    // Folders still to list, by their relative path ('/' between folders, a trailing one; empty
    // for the root). Only the base and the folder being listed are open, so a tree of any width
    // or depth never runs out of descriptors; a folder met again (a bind mount of a folder above,
    // or one swapped in meanwhile) is listed once.
    std::vector<std::string> pending{std::string()};
    std::unordered_set<FolderId, FolderIdHash> visited;
    DirListing listing;
    while (!pending.empty()) {
        const std::string prefix = std::move(pending.back());
        pending.pop_back();
        std::optional<Folder> here;
        if (prefix.empty()) {
            here = Folder::Open(folder);
        } else {
            std::string native = NativePath(prefix.substr(0, prefix.size() - 1));
            here = base->OpenBelow(native);
        }
        if (!here) {
            error = Format(Tr("フォルダを開けません: %s"), (root + NativePath(prefix)).c_str());
            return false;
        }
        if (!visited.insert(here->Id()).second) {
            continue;
        }
        if (!here->List(AttributeFilter{true, false, true}, listing)) {
            error = Format(Tr("フォルダを読めません: %s"), (root + NativePath(prefix)).c_str());
            return false;
        }
        here.reset();
        if (listing.SkippedNames() > 0) {
            // Those entries would be on the disc but cannot be counted: no figure rather than a low one.
            error = Format(Tr("このシステムの文字コードで表せない名前があるフォルダです: %s"),
                           (root + NativePath(prefix)).c_str());
            return false;
        }
        const std::size_t firstChild = pending.size();
        for (const DirListing::Entry& e : listing.Entries()) {
            std::string path = prefix + std::string(listing.Name(e));
            ImageEntry entry{{}, e.size, e.kind == EntryKind::Folder};
            if (e.isLink) {
                const std::optional<std::string> target = LinkTarget(root + NativePath(path));
                if (!target) {
                    error =
                        Format(Tr("シンボリックリンクを読めません: %s"), (root + NativePath(path)).c_str());
                    return false;
                }
                entry = ImageEntry{{}, 0, false, SymlinkRecordBytes(*target)};
            } else if (e.kind == EntryKind::Folder) {
                pending.push_back(path + "/");
            }
            entries.push_back(entry);
            paths.push_back(std::move(path));
        }
        // Listed in name order, walked in name order.
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstChild), pending.end());
    }
    // The paths no longer move: point the entries at them.
    for (std::size_t i = 0; i < paths.size(); ++i) {
        entries[i].path = paths[i];
    }
    return true;
}

std::optional<std::uint64_t> DiscFolderSectors(const std::string& folder, FileSystem layout,
                                               std::int32_t sectorSize, std::string& error) {
    std::vector<std::string> paths;
    std::vector<ImageEntry> entries;
    if (!CollectDiscEntries(folder, paths, entries, error)) {
        return std::nullopt;
    }
    const auto cluster = static_cast<std::uint32_t>(sectorSize);
    if (layout != FileSystem::Iso9660 && layout != FileSystem::Udf) {
        std::uint64_t sectors = 0;
        for (const ImageEntry& e : entries) {
            if (!e.folder && cluster > 0) {
                sectors += e.bytes / cluster + (e.bytes % cluster != 0 ? 1 : 0);
            }
        }
        return sectors;
    }
    return ToProfileSectors(WrittenImageSectors(layout, entries), cluster);
}

}  // namespace stowra
