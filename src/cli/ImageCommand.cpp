#include "cli/ImageCommand.h"

#include <nlohmann/json.hpp>

#include "burn/BurnLibraries.h"
#include "burn/ImageFile.h"
#include "burn/ImageStream.h"
#include "cli/CliWindow.h"
#include "cli/JsonWriter.h"
#include "cli/ScanCommand.h"
#include "packing/DiscFolder.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::cli {

void AddImageOptions(CLI::App& command, ImageOptions& o) {
    command.add_option("DISC_FOLDER", o.folder, "Folder whose contents make the disc")->required();
    command.add_option("-o,--output", o.output, "Image file to write")->required();
    command.add_option("--file-system", o.fileSystem, "File system of the image (default: iso9660)")
        ->check(CLI::IsMember({"iso9660", "udf"}));
    command.add_option("--volume-id", o.volumeId, "Volume ID (default: the stamp and the disc number)");
    command.add_option("--total", o.total, "Sectors of the disc the image must fit on")
        ->check(CLI::Range(std::int64_t{0}, std::int64_t{0x7FFFFFFF}));
    command.add_option("--cluster", o.cluster, "Bytes per sector of that disc (default: 2048)")
        ->check(CLI::Range(1, 0x7FFFFFFF));
    command.add_flag("--json", o.json, "Print one JSON document");
}

int RunImageCommand(const ImageOptions& options, std::ostream& out, std::ostream& err) {
    FileSystem layout = FileSystem::Iso9660;
    ParseFileSystem(options.fileSystem, layout);
    auto fail = [&](const std::string& error, int code) {
        err << ForStream(2, error, false) << '\n';
        if (options.json) {
            out << DumpJson({{"folder", options.folder}, {"error", error}}) << '\n';
        }
        return code;
    };
    if (options.total > 0) {
        std::string error;
        const auto sectors = DiscFolderSectors(options.folder, layout, options.cluster, error);
        if (!sectors) {
            return fail(error, 1);
        }
        if (*sectors > static_cast<std::uint64_t>(options.total)) {
            return fail(
                Format(Tr("イメージがディスクに収まりません: %llu セクタ (ディスクは %lld セクタ)"),
                       static_cast<unsigned long long>(*sectors), static_cast<long long>(options.total)),
                2);
        }
    }
    burning::BurnLibraries libraries;
    if (!libraries.Ready()) {
        return fail(libraries.Error(), 1);
    }
    CatchInterrupts();
    std::string error;
    const auto image = burning::OpenImage({options.folder, layout, options.volumeId}, error);
    if (!image) {
        return fail(error, 1);
    }
    const auto progress = [](std::uint64_t) { return !Interrupted(); };
    if (!burning::WriteImageFile(*image, options.output, progress, error)) {
        return fail(error, Interrupted() ? kExitCancelled : 1);
    }
    const std::uint64_t sectors = image->Bytes() / 2048;
    if (options.json) {
        out << DumpJson({{"folder", options.folder},
                         {"image", options.output},
                         {"fileSystem", FileSystemName(layout)},
                         {"volumeId", image->VolumeId()},
                         {"sectors", sectors}})
            << '\n';
    } else {
        out << sectors << '\t' << options.output << '\n';
    }
    return 0;
}

}  // namespace stowra::cli
