#include "cli/ImageSizeCommand.h"

#include <nlohmann/json.hpp>

#include "cli/JsonWriter.h"
#include "platform/Folder.h"
#include "platform/Text.h"

namespace stowra::cli {

namespace {

// A path of the model's ('/' between folders) as the system writes it, for messages.
std::string NativePath(std::string path) {
    ReplaceDelimiters(path, '/', kPathDelimiter, kNativeCodepage);
    return path;
}

}  // namespace

void AddImageSizeOptions(CLI::App& command, ImageSizeOptions& o) {
    command.add_option("FOLDER", o.folders, "Folder whose contents make one disc")->required();
    command.add_option("--file-system", o.fileSystem, "File system of the image (default: iso9660)")
        ->check(CLI::IsMember({"iso9660", "udf"}));
    command.add_flag("--json", o.json, "Print one JSON document");
}

bool CollectDiscEntries(const std::string& folder, std::vector<std::string>& paths,
                        std::vector<ImageEntry>& entries, std::string& error) {
    paths.clear();
    entries.clear();
    struct Pending {
        Folder folder;
        std::string prefix;  // relative path of the folder with a trailing '/', empty for the root
    };
    std::optional<Folder> root = Folder::Open(folder);
    if (!root) {
        const bool exists = FileExists(folder);
        error = FolderExists(folder) ? "cannot open folder: " + folder
                : exists             ? "not a folder: " + folder
                                     : "no such folder: " + folder;
        return false;
    }
    std::vector<Pending> pending;
    pending.push_back({std::move(*root), {}});
    std::vector<bool> isFolder;
    DirListing listing;
    while (!pending.empty()) {
        Pending p = std::move(pending.back());
        pending.pop_back();
        if (!p.folder.List(AttributeFilter{true, false}, listing)) {
            error = "cannot read folder: " + AddTrailingBackslash(folder) + NativePath(p.prefix);
            return false;
        }
        if (listing.SkippedNames() > 0) {
            // Those entries would be on the disc but cannot be counted: no figure rather than a low one.
            error = "names this system's code page cannot spell in folder: " + AddTrailingBackslash(folder) +
                    NativePath(p.prefix);
            return false;
        }
        for (const DirListing::Entry& e : listing.Entries()) {
            if (e.isLink) {
                continue;
            }
            std::string path = p.prefix + std::string(listing.Name(e));
            if (e.kind == EntryKind::Folder) {
                std::optional<Folder> child = p.folder.OpenChild(listing.Name(e));
                if (!child) {
                    error = "cannot open folder: " + AddTrailingBackslash(folder) + NativePath(path);
                    return false;
                }
                pending.push_back({std::move(*child), path + "/"});
            }
            entries.push_back({{}, e.size, e.kind == EntryKind::Folder});
            paths.push_back(std::move(path));
        }
    }
    // The paths no longer move: point the entries at them.
    for (std::size_t i = 0; i < paths.size(); ++i) {
        entries[i].path = paths[i];
    }
    return true;
}

int RunImageSizeCommand(const ImageSizeOptions& options, std::ostream& out, std::ostream& err) {
    FileSystem layout = FileSystem::Iso9660;
    ParseFileSystem(options.fileSystem, layout);
    nlohmann::json doc = nlohmann::json::array();
    int exitCode = 0;
    std::vector<std::string> paths;
    std::vector<ImageEntry> entries;
    for (const std::string& folder : options.folders) {
        std::string error;
        if (!CollectDiscEntries(folder, paths, entries, error)) {
            err << error << '\n';
            exitCode = 1;
            continue;
        }
        const std::uint64_t sectors = ImageSectors(layout, entries);
        if (options.json) {
            doc.push_back({{"folder", folder}, {"fileSystem", FileSystemName(layout)}, {"sectors", sectors}});
        } else {
            out << sectors << '\t' << folder << '\n';
        }
    }
    if (options.json) {
        out << DumpJson(doc) << '\n';
    }
    return exitCode;
}

}  // namespace stowra::cli
