#include "settings/SettingsFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
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

#ifdef _WIN32
// A dot that starts the name does not begin an extension.
std::string WithIniExtension(std::string_view name) {
    std::size_t dot = name.rfind('.');
    return std::string(name.substr(0, dot == 0 || dot == std::string_view::npos ? name.size() : dot)) +
           ".ini";
}
#endif

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

void SaveSettings(const std::string& path, const AppSettings& settings, bool makeFolders) {
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
    if (const std::size_t nameStart = FileNameStart(path); makeFolders && nameStart > 1) {
        MakeFolders(path.substr(0, nameStart - 1));
    }
    if (!ReplaceFileContent(path, file.Text())) {
        throw std::runtime_error(Format(Tr("%s に書き込めません"), path.c_str()));
    }
}

std::string SettingsReadProblem(const std::string& path) {
    if (!PathExists(path)) {
        return {};
    }
    if (!FileExists(path)) {
        return Format(Tr("設定ファイルは通常のファイルでなければなりません: %s"), path.c_str());
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        return Format(Tr("設定ファイルを読み込めません: %s: %s"), path.c_str(), std::strerror(errno));
    }
    // What the program writes is lines of text under "[section]" headers; a file with a NUL byte,
    // or with text but not one header, is something else, and reading it as settings would
    // replace it by the defaults at the next save.
    std::string head(std::size_t{65536}, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), file.get()));
    bool header = false, text = false;
    for (std::size_t start = 0; start < head.size();) {
        std::size_t end = head.find('\n', start);
        end = end == std::string::npos ? head.size() : end;
        std::string_view line = std::string_view(head).substr(start, end - start);
        constexpr char kByteOrderMark[] = {'\xEF', '\xBB', '\xBF'};
        if (start == 0 && line.starts_with(std::string_view(kByteOrderMark, 3))) {
            line.remove_prefix(3);
        }
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first != std::string_view::npos && line[first] != ';') {
            text = true;
            header = header || line[first] == '[';
        }
        start = end + 1;
    }
    if (head.find('\0') != std::string::npos || (text && !header)) {
        return Format(Tr("設定ファイルとして読めない内容です: %s"), path.c_str());
    }
    return {};
}

std::string SettingsWriteProblem(const std::string& path) {
    const std::size_t nameStart = FileNameStart(path);
    const std::string folder = nameStart == 0   ? std::string(".")
                               : nameStart == 1 ? path.substr(0, 1)
                                                : path.substr(0, nameStart - 1);
    // A folder that does not exist yet is made at the first save.
    if ((PathExists(path) && !FileExists(path)) || (PathExists(folder) && !CanWriteInFolder(folder))) {
        return Format(Tr("%s に書き込めません"), path.c_str());
    }
    return {};
}

std::string SettingsPathFor(const std::string& programPath, const std::string& userConfigFolder,
                            const std::string& installedFolder) {
    const std::size_t nameStart = FileNameStart(programPath);
#ifdef _WIN32
    // Each program keeps its own file beside itself, named after it.
    const std::string fileName =
        WithIniExtension(nameStart < programPath.size() ? programPath.substr(nameStart) : "stowra");
#else
    // The window and the command line share one file, so a disc type made in one is known to the
    // other (and to the shell's completion).
    const std::string fileName = "stowra.ini";
#endif
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
