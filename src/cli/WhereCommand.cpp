#include "cli/WhereCommand.h"

#include <nlohmann/json.hpp>

#include "cli/CliWindow.h"
#include "cli/JsonWriter.h"
#include "cli/ScanCommand.h"
#include "platform/Text.h"
#include "platform/Translation.h"
#include "relocate/Catalogue.h"
#include "settings/SettingsFile.h"

namespace stowra::cli {

void AddWhereOptions(CLI::App& command, WhereOptions& o) {
    command.add_option("PATTERN", o.pattern, "A glob (*, ?, [...]) or a part of the path")->required();
    command.add_option(
        "CATALOGUE", o.catalogues,
        "Catalogues to read (default: every one below the destination folder of the settings)");
    command.add_option("--settings", o.settingsFile, "Settings file (default: the program's own)");
    command.add_flag("--json", o.json, "Print one JSON document");
}

int RunWhereCommand(const WhereOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<std::string> catalogues = options.catalogues;
    if (catalogues.empty()) {
        const std::string path = options.settingsFile.empty() ? SettingsPath() : options.settingsFile;
        RequireSettingsFile(path);
        AppSettings settings;
        LoadSettings(path, settings);
        if (!settings.DstFolder.empty()) {
            catalogues = FindCatalogues(settings.DstFolder);
        }
        if (catalogues.empty()) {
            err << ForStream(2,
                             Format(Tr("出力フォルダ \"%s\" の下にカタログ（_catalog_*.tsv）がありません。"),
                                    settings.DstFolder.c_str()),
                             false)
                << '\n';
            return 2;
        }
    }
    const CatalogueSearch search = SearchCatalogues(catalogues, options.pattern);
    for (const std::string& name : search.unreadable) {
        err << ForStream(2, Format(Tr("カタログを読めません: %s"), name.c_str()), false) << '\n';
    }
    if (search.unreadable.size() == catalogues.size()) {
        return 2;
    }
    if (options.json) {
        nlohmann::json hits = nlohmann::json::array();
        for (const CatalogueHit& h : search.hits) {
            nlohmann::json hit = {{"set", h.set}, {"disc", h.disc}, {"path", h.path}, {"size", h.size}};
            if (!h.sha256.empty()) {
                hit["sha256"] = h.sha256;
            }
            hits.push_back(std::move(hit));
        }
        out << DumpJson({{"pattern", options.pattern}, {"files", hits}}) << '\n';
    } else {
        for (const CatalogueHit& h : search.hits) {
            // Tabs between the fields, which an escaped path cannot hold.
            out << ForStream(1, h.set, false) << '\t' << h.disc << '\t' << ForStream(1, h.path, false)
                << '\n';
        }
    }
    return search.hits.empty() ? 1 : 0;
}

}  // namespace stowra::cli
