#include "cli/ImageSizeCommand.h"

#include <nlohmann/json.hpp>

#include "cli/JsonWriter.h"
#include "packing/DiscFolder.h"

namespace stowra::cli {

void AddImageSizeOptions(CLI::App& command, ImageSizeOptions& o) {
    command
        .add_option(
            "FOLDER", o.folders,
            "Folder whose contents make one disc (symbolic links count as the image builders store them)")
        ->required();
    command.add_option("--file-system", o.fileSystem, "File system of the image (default: iso9660)")
        ->check(CLI::IsMember({"iso9660", "udf"}));
    command.add_flag("--json", o.json, "Print one JSON document");
}

int RunImageSizeCommand(const ImageSizeOptions& options, std::ostream& out, std::ostream& err) {
    FileSystem layout = FileSystem::Iso9660;
    ParseFileSystem(options.fileSystem, layout);
    nlohmann::json doc = nlohmann::json::array();
    int exitCode = 0;
    for (const std::string& folder : options.folders) {
        std::string error;
        const std::optional<std::uint64_t> measured = DiscFolderSectors(folder, layout, 2048, error);
        if (!measured) {
            err << error << '\n';
            if (options.json) {
                doc.push_back({{"folder", folder}, {"error", error}});
            }
            exitCode = 1;
            continue;
        }
        const std::uint64_t sectors = *measured;
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
