#include "cli/ProfilesCommand.h"

#include "cli/ScanCommand.h"
#include "settings/SettingsFile.h"

namespace stowra::cli {

void AddProfilesOptions(CLI::App& command, ProfilesOptions& o) {
    command.add_option("--settings", o.settingsFile, "Settings file (default: the program's own)");
    command.add_flag("--json", o.json, "Print one JSON document");
    command.add_flag("--save", o.save, "Write the file back as the window does when it closes");
}

nlohmann::json SettingsJson(const AppSettings& s) {
    nlohmann::json profiles = nlohmann::json::array();
    for (const ProfileList::Entry& e : s.profiles) {
        const MediaProfile& p = *e.profile;
        profiles.push_back({{"name", e.name},
                            {"cluster", p.Cluster},
                            {"total", p.Total},
                            {"system", p.System},
                            {"slack", p.Slack}});
    }
    return {{"option", s.Options},
            {"minSize", s.MinSize},
            {"defaultSystem", s.DefaultSystem},
            {"defaultSlack", s.DefaultSlack},
            {"selected", s.selected},
            {"srcFolder", s.SrcFolder},
            {"dstFolder", s.DstFolder},
            {"profiles", profiles}};
}

void PrintSettingsText(const AppSettings& s, const std::string& path, std::FILE* out) {
    std::fprintf(out, "settings file: %s\n", path.c_str());
    std::fprintf(out, "Option=%d MinSize=%d DefaultSystem=%d DefaultSlack=%d\n", s.Options, s.MinSize,
                 s.DefaultSystem, s.DefaultSlack);
    std::fprintf(out, "SrcFolder=%s\nDstFolder=%s\n", s.SrcFolder.c_str(), s.DstFolder.c_str());
    for (std::size_t i = 0; i < s.profiles.size(); ++i) {
        const MediaProfile& p = *s.profiles[i].profile;
        std::fprintf(out, "%c %s: Cluster=%d Total=%d System=%d Slack=%d\n", i == s.selected ? '*' : ' ',
                     s.profiles[i].name.c_str(), p.Cluster, p.Total, p.System, p.Slack);
    }
}

int RunProfilesCommand(const ProfilesOptions& options) {
    const std::string path = options.settingsFile.empty() ? SettingsPath() : options.settingsFile;
    RequireSettingsFile(path);
    AppSettings settings;
    LoadSettings(path, settings);
    if (options.save) {
        SaveSettings(path, settings, options.settingsFile.empty());
    }
    if (options.json) {
        PrintJson(SettingsJson(settings), stdout);
    } else {
        PrintSettingsText(settings, path, stdout);
    }
    return 0;
}

}  // namespace stowra::cli
