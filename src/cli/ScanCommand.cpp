#include "cli/ScanCommand.h"

#include <stdexcept>

#include "cli/JsonWriter.h"
#include "packing/DiscImage.h"
#include "platform/Folder.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/Translation.h"
#include "settings/SettingsFile.h"
#include "ui/MediaForm.h"

namespace stowra::cli {

void AddScanOptions(CLI::App& command, ScanOptions& o) {
    auto mark = [&o](const char* name) { return [&o, name](const std::string&) { o.given.insert(name); }; };
    command.add_option("SOURCE", o.source, "Folder whose files are packed")->required();
    command.add_option("--cluster", o.profile.Cluster, "Bytes per sector")->each(mark("cluster"));
    command.add_option("--total", o.profile.Total, "Capacity of one disc in sectors")->each(mark("total"));
    command.add_option("--system", o.profile.System, "Sectors reserved for the disc's file system")
        ->each(mark("system"));
    command.add_option("--slack", o.profile.Slack, "Sectors that may stay empty (with --use-slack)")
        ->each(mark("slack"));
    command.add_option("--min-size", o.minSize, "Files of this many bytes or fewer are left out")
        ->check(CLI::Range(std::int64_t{0}, std::int64_t{0xFFFFFFFF}))
        ->each(mark("min-size"));
    command.add_option("--settings", o.settingsFile,
                       "Settings file for --profile (default: the program's own)");
    command.add_option("--profile", o.profileName, "Pack for this media profile of the settings file");
#ifdef _WIN32
    command.add_flag("--hidden", o.hidden, "Include hidden files (the hidden attribute)");
    command.add_flag("--system-files", o.systemFiles, "Include system files (the system attribute)");
#else
    command.add_flag("--hidden", o.hidden, "Include hidden files (names starting with a dot)");
    command.add_flag("--system-files", o.systemFiles,
                     "No effect on Linux: pipes, sockets and devices hold no data and have size 0");
#endif
    command.add_option("--group", o.group, "Grouping of a folder's files into one unit")
        ->check(CLI::IsMember({"none", "leaf", "subfolder"}))
        ->each(mark("group"));
    command
        .add_option("--file-system", o.fileSystem,
                    "Pack each disc so that its image with this file system fits (none: reserve --system)")
        ->check(CLI::IsMember({"none", "iso9660", "udf"}))
        ->each(mark("file-system"));
    command.add_flag("--use-slack", o.useSlack, "Leave out discs filled below the slack bound");
    command.add_flag("--last-disc", o.lastDisc, "Put the rest onto a last disc, even if it is not full");
    command.add_flag("--json", o.json, "Print one JSON document");
    command.add_option("--threads", o.threads, "Threads that walk the folders (default: one per core)")
        ->check(CLI::Range(1, 256));
}

void RequireSettingsFile(const std::string& path) {
    if (!FileExists(path) && PathExists(path)) {
        throw std::runtime_error(
            Format(Tr("設定ファイルは通常のファイルでなければなりません: %s"), path.c_str()));
    }
}

namespace {

bool Given(const ScanOptions& o, const char* name) {
    return o.given.contains(name);
}

void ApplySettingsProfile(const ScanOptions& o, ScanInput& in) {
    const std::string path = o.settingsFile.empty() ? SettingsPath() : o.settingsFile;
    RequireSettingsFile(path);
    // A profile asked for by name from a file that is not there would quietly be a built-in one.
    if (!o.settingsFile.empty() && !PathExists(path)) {
        throw std::runtime_error(Format(Tr("設定ファイルが見つかりません: %s"), path.c_str()));
    }
    AppSettings settings;
    LoadSettings(path, settings);
    std::size_t i = settings.profiles.Find(o.profileName);
    if (i == ProfileList::npos) {
        i = settings.profiles.FindIgnoringCase(o.profileName);
    }
    if (i == ProfileList::npos) {
        std::string known;
        for (const ProfileList::Entry& e : settings.profiles) {
            known += "\n  " + e.name;
        }
        throw std::runtime_error(
            Format(Tr("\"%s\" という名前のメディア設定は %s にありません。設定にあるのは次のメディアです:%s"),
                   o.profileName.c_str(), path.c_str(), known.c_str()));
    }
    const MediaProfile& p = *settings.profiles[i].profile;
    in.profile.Cluster = Given(o, "cluster") ? o.profile.Cluster : p.Cluster;
    in.profile.Total = Given(o, "total") ? o.profile.Total : p.Total;
    in.profile.System = Given(o, "system") ? o.profile.System : p.System;
    in.profile.Slack = Given(o, "slack") ? o.profile.Slack : p.Slack;
    in.profile.fileSystem = p.fileSystem;
    in.options = settings.Options;
    if (!Given(o, "min-size")) {
        in.minSize = settings.MinSize;
    }
    if (Given(o, "group")) {
        in.options &= ~(OptionFlags::LeafFolderGrouping | OptionFlags::SubfolderGrouping);
    }
}

}  // namespace

namespace {

// What the media dialog would refuse is refused here too: a negative number (its fields take
// digits only), a zero total and a slack not below the total. The system size may be 0 here, for
// an image counted exactly with no margin.
void RefuseWhatTheDialogRefuses(const ScanOptions& o, const MediaProfile& p) {
    const struct {
        const char* given;
        std::int32_t value;
    } numbers[] = {{"cluster", p.Cluster}, {"total", p.Total}, {"system", p.System}, {"slack", p.Slack}};
    for (const auto& n : numbers) {
        if (Given(o, n.given) && n.value < 0) {
            throw std::runtime_error(
                Format(Tr("--%s には 0 以上の数を指定してください: %d"), n.given, n.value));
        }
    }
    MediaForm form;
    form.values = {"-", p.Cluster, p.Total, p.System == 0 ? 1 : p.System, p.Slack, p.fileSystem};
    if (!o.useSlack && !Given(o, "slack")) {
        form.values.slack = 0;  // not used: not checked
    }
    // A zero sector size and a system size not below the total have the scan's own messages.
    const std::optional<FormProblem> problem = form.Validate();
    if (problem && (problem->focus == MediaField::Total || problem->focus == MediaField::Slack)) {
        const char* option = problem->focus == MediaField::Total ? "total" : "slack";
        throw std::runtime_error(Format("--%s: %s", option, problem->message.c_str()));
    }
}

}  // namespace

ScanInput MakeScanInput(const ScanOptions& o) {
    ScanInput in;
    in.sourceFolder = o.source;
    in.profile = o.profile;
    in.minSize = static_cast<std::int32_t>(static_cast<std::uint32_t>(o.minSize));
    in.options = OptionFlags::ReadAtip;
    in.threads = o.threads;
    if (!o.profileName.empty()) {
        ApplySettingsProfile(o, in);
    }
    if (o.profileName.empty() || Given(o, "file-system")) {
        ParseFileSystem(o.fileSystem, in.profile.fileSystem);
    }
    if (o.hidden)
        in.options |= OptionFlags::IncludeHidden;
    if (o.systemFiles)
        in.options |= OptionFlags::IncludeSystem;
    if (o.useSlack)
        in.options |= OptionFlags::UseSlack;
    if (o.lastDisc)
        in.options |= OptionFlags::LastDisc;
    if (o.group == "leaf")
        in.options |= OptionFlags::LeafFolderGrouping;
    if (o.group == "subfolder")
        in.options |= OptionFlags::SubfolderGrouping;
    RefuseWhatTheDialogRefuses(o, in.profile);
    return in;
}

namespace {

// The record's file paths; paths that are not valid UTF-8 also as raw bytes, by their index.
void WritePaths(const UnitRecord& record, JsonWriter& json) {
    std::vector<const FileItem*> files;
    BuildFileList(record, files);
    json.Key("paths").BeginArray();
    bool odd = false;
    for (const FileItem* f : files) {
        json.String(f->path());
        odd = odd || !JsonWriter::IsText(f->path());
    }
    json.EndArray();
    if (odd) {
        json.Key("pathBytes").BeginObject();
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!JsonWriter::IsText(files[i]->path())) {
                json.Key(std::to_string(i)).String(JsonWriter::Base64(files[i]->path()));
            }
        }
        json.EndObject();
    }
}

}  // namespace

void WriteScanJson(const CliWindow& window, JsonWriter& json) {
    const ScanState& s = window.state;
    json.Key("stamp").String(s.scanStamp);
    json.Key("log").BeginArray();
    for (const std::string& line : window.Recorded().Lines()) {
        json.String(line);
    }
    json.EndArray();
    if (s.cancelled) {
        json.Key("cancelled").Bool(true);
    }
    json.Key("skippedLinks").Unsigned(s.inventory.skippedLinks);
    if (s.inventory.skippedNames > 0) {
        json.Key("skippedNames").Unsigned(s.inventory.skippedNames);
    }
    if (s.inventory.skippedCopies > 0) {
        json.Key("skippedCopies").Unsigned(s.inventory.skippedCopies);
    }
    json.Key("fileSystem").String(FileSystemName(s.result.fileSystem));
    // What each disc's image takes under either file system, whatever it was packed for.
    DiscContents contents{static_cast<std::uint32_t>(s.profile.Cluster), window.writesIndex, s.scanStamp,
                          window.writesChecksums};
    std::vector<const std::vector<FileItem*>*> discs;
    for (const PackedMedium& m : s.result.media) {
        discs.push_back(&m.units);
    }
    const std::vector<std::uint64_t> iso = DiscImagesSectors(FileSystem::Iso9660, discs, contents);
    const std::vector<std::uint64_t> udf = DiscImagesSectors(FileSystem::Udf, discs, contents);
    json.Key("media").BeginArray();
    for (std::size_t i = 0; i < s.result.media.size(); ++i) {
        const PackedMedium& m = s.result.media[i];
        json.BeginObject();
        json.Key("number").Unsigned(i + 1);
        json.Key("files").Unsigned(m.files);
        json.Key("used").Unsigned(m.used);
        json.Key("fill").Real(static_cast<double>(m.fill));
        // A last disc of the rest, asked for with --last-disc: not full by design.
        json.Key("partial").Bool(s.result.firstPartial != 0 && i + 1 >= s.result.firstPartial);
        json.Key("image").BeginObject();
        json.Key("iso9660").Unsigned(iso[i]);
        json.Key("udf").Unsigned(udf[i]);
        json.EndObject();
        WritePaths(m, json);
        json.EndObject();
    }
    json.EndArray();
    const Remainder& r = s.result.remainder;
    json.Key("remainder").BeginObject();
    json.Key("files").Unsigned(r.files);
    json.Key("sectors").Unsigned(r.sectors);
    WritePaths(r, json);
    json.EndObject();
}

void PrintJson(const nlohmann::json& doc, std::FILE* out) {
    std::string text = DumpJson(doc);
    std::fputs(text.c_str(), out);
    std::fputc('\n', out);
}

namespace {

// Lines of a file list, gathered into large writes.
class ListPrinter {
public:
    explicit ListPrinter(std::FILE* out) : out_(out), console_(IsConsole(::fileno(out))) {}
    ~ListPrinter() { Flush(); }
    ListPrinter(const ListPrinter&) = delete;
    ListPrinter& operator=(const ListPrinter&) = delete;
    void Append(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= (1u << 16)) {
            Flush();
        }
    }
    // Text of our own that may carry names: on a console, their control characters are escaped.
    void Text(std::string_view text) { Append(console_ ? ForTerminal(text, true) : std::string(text)); }
    void File(const FileItem* f, std::uint32_t cluster) {
        Append("  ");
        if (console_) {
            Append(ForTerminal(f->path(), false));
        } else {
            Append(f->path());
        }
        Append(" (");
        Append(SizeText(f->fullSectors, cluster));
        Append(")\n");
    }
    void Flush() {
        std::fwrite(buffer_.data(), 1, buffer_.size(), out_);
        buffer_.clear();
    }

private:
    std::FILE* out_;
    bool console_;
    std::string buffer_;
};

}  // namespace

void PrintScanText(const CliWindow& window, std::FILE* out) {
    ListPrinter print(out);
    for (const std::string& line : window.Recorded().Lines()) {
        print.Text(line);
        print.Append("\n");
    }
    const ScanState& s = window.state;
    const auto cluster = static_cast<std::uint32_t>(s.profile.Cluster);
    std::vector<const FileItem*> files;
    for (std::size_t i = 0; i < s.result.media.size(); ++i) {
        const PackedMedium& m = s.result.media[i];
        print.Append(Format(Tr("\nメディア %zu: %u ファイル, %s, %s\n"), i + 1, m.files,
                            SizeText(m.used, cluster).c_str(), PercentText(m.fill).c_str()));
        BuildFileList(m, files);
        for (const FileItem* f : files) {
            print.File(f, cluster);
        }
    }
    if (s.result.media.empty() && s.result.remainder.units.empty()) {
        return;
    }
    const Remainder& r = s.result.remainder;
    print.Append(Format(Tr("\n残り: %u ファイル, %s\n"), r.files, SizeText(r.sectors, cluster).c_str()));
    BuildFileList(r, files);
    for (const FileItem* f : files) {
        print.File(f, cluster);
    }
}

int RunScanCommand(const ScanOptions& options) {
    CatchInterrupts();
    CliWindow window(true);
    ScanInput input = MakeScanInput(options);
    window.writesIndex = (input.options & OptionFlags::WriteIndex) != 0;
    if (!RunScan(input, window.state, window)) {
        return 1;
    }
    if (options.json) {
        JsonWriter json(stdout);
        json.BeginObject();
        WriteScanJson(window, json);
        json.EndObject();
        json.Finish();
    } else {
        PrintScanText(window, stdout);
    }
    return window.state.cancelled ? kExitCancelled : 0;
}

}  // namespace stowra::cli
