#include "settings/SettingsFile.h"

#include <algorithm>
#include <stdexcept>

#include "platform/ConfigFolder.h"
#include "platform/Folder.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

namespace {

void ReadSettingsSection(const ProfileReader& file, AppSettings& s, std::int32_t& selected) {
    const char* section = kSettingsSection;
    s.Options = file.ReadInteger(section, "Option", 0);
    s.MinSize = file.ReadInteger(section, "MinSize", 0);
    s.DefaultSystem = file.ReadInteger(section, "DefaultSystem", 256);
    s.DefaultSlack = file.ReadInteger(section, "DefaultSlack", 3840);
    selected = file.ReadInteger(section, "Media", 0);
    s.SrcFolder = file.ReadString(section, "SrcFolder", "");
    s.DstFolder = file.ReadString(section, "DstFolder", "");
}

// A missing "System" or "Slack" takes the defaults as they stand when this section is read.
MediaProfile ReadProfileSection(const ProfileReader& file, const std::string& name, const AppSettings& s) {
    MediaProfile p;
    p.Cluster = file.ReadInteger(name, "Cluster", 2048);
    p.Total = file.ReadInteger(name, "Total", 359850);
    p.System = file.ReadInteger(name, "System", s.DefaultSystem);
    p.Slack = file.ReadInteger(name, "Slack", s.DefaultSlack);
    // 1 ISO 9660 + Joliet, 2 UDF; anything else (or no key) packs with the plain reserve.
    const std::int32_t fs = file.ReadInteger(name, "FileSystem", 0);
    p.fileSystem = fs == 1 ? FileSystem::Iso9660 : fs == 2 ? FileSystem::Udf : FileSystem::None;
    return p;
}

void AddBuiltin(AppSettings& s, const char* name, std::int32_t total) {
    if (s.profiles.FindIgnoringCase(name) == ProfileList::npos) {
        // Packed for ISO 9660 + Joliet, the discs a newcomer gets burn as they are; a section the
        // file already has keeps what it says.
        s.profiles.Append(name,
                          MediaProfile{2048, total, s.DefaultSystem, s.DefaultSlack, FileSystem::Iso9660});
    }
}

// Where the file name starts: after the last delimiter, bytes of double-byte characters skipped.
std::size_t FileNameStart(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(path[i]), kNativeCodepage)) {
            ++i;
        } else if (path[i] == kPathDelimiter || path[i] == '/') {
            start = i + 1;
        }
    }
    return start;
}

// A dot that starts the name does not begin an extension.
std::string WithIniExtension(std::string_view name) {
    std::size_t dot = name.rfind('.');
    return std::string(name.substr(0, dot == 0 || dot == std::string_view::npos ? name.size() : dot)) +
           ".ini";
}

}  // namespace

void LoadSettings(const std::string& path, AppSettings& settings) {
    const ProfileReader file = ProfileReader::Load(path);
    std::int32_t selected = 0;
    for (const std::string& name : file.SectionNames()) {
        if (name == kSettingsSection) {
            ReadSettingsSection(file, settings, selected);
        } else {
            settings.profiles.Append(name, ReadProfileSection(file, name, settings));
        }
    }
    AddBuiltin(settings, kBuiltinCdName, 359850);
    AddBuiltin(settings, kBuiltinDvdName, kBuiltinDvdTotal);
    // The program never writes a negative index; one typed into the file selects the first entry.
    const auto last = static_cast<std::int64_t>(settings.profiles.size()) - 1;
    settings.selected = static_cast<std::size_t>(std::clamp<std::int64_t>(selected, 0, last));
}

void WriteProfileSection(ProfileWriter& file, const std::string& name, const MediaProfile& profile) {
    file.WriteInteger(name, "Cluster", profile.Cluster);
    file.WriteInteger(name, "Total", profile.Total);
    file.WriteInteger(name, "System", profile.System);
    file.WriteInteger(name, "Slack", profile.Slack);
    // Only when chosen, so that files which never use it keep their exact bytes.
    if (profile.fileSystem != FileSystem::None) {
        file.WriteInteger(name, "FileSystem", static_cast<std::int32_t>(profile.fileSystem));
    }
}

void SaveSettings(const std::string& path, const AppSettings& settings) {
    ProfileWriter file;
    const char* section = kSettingsSection;
    file.WriteInteger(section, "Option", settings.Options);
    file.WriteInteger(section, "MinSize", settings.MinSize);
    file.WriteInteger(section, "DefaultSystem", settings.DefaultSystem);
    file.WriteInteger(section, "DefaultSlack", settings.DefaultSlack);
    file.WriteInteger(section, "Media", static_cast<std::int32_t>(settings.selected));
    file.WriteString(section, "SrcFolder", settings.SrcFolder);
    file.WriteString(section, "DstFolder", settings.DstFolder);
    for (const ProfileList::Entry& entry : settings.profiles) {
        WriteProfileSection(file, entry.name, *entry.profile);
    }
    // The per-user folder may not exist before the first save.
    if (const std::size_t nameStart = FileNameStart(path); nameStart > 1) {
        MakeFolders(path.substr(0, nameStart - 1));
    }
    if (!ReplaceFileContent(path, file.Text())) {
        throw std::runtime_error(Format(Tr("%s に書き込めません"), path.c_str()));
    }
}

std::string SettingsPathFor(const std::string& programPath, const std::string& userConfigFolder,
                            const std::string& installedFolder) {
    const std::size_t nameStart = FileNameStart(programPath);
    const std::string fileName =
        WithIniExtension(nameStart < programPath.size() ? programPath.substr(nameStart) : "stowra");
    const std::string folder = programPath.substr(0, nameStart);
    const bool installed = !installedFolder.empty() && folder == AddTrailingBackslash(installedFolder);
    if (nameStart > 0 && !installed && CanWriteInFolder(folder)) {
        return programPath.substr(0, nameStart) + fileName;
    }
    return userConfigFolder + kPathDelimiter + "stowra" + kPathDelimiter + fileName;
}

std::string SettingsPath() {
    return SettingsPathFor(ProgramPath(), UserConfigFolder(), STOWRA_INSTALLED_BINDIR);
}

}  // namespace stowra
