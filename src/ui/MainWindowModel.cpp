#include "ui/MainWindowModel.h"

#include <algorithm>

#include "platform/Text.h"
#include "platform/Translation.h"
#include "relocate/MoveFiles.h"
#include "relocate/VerifyDisc.h"
#include "settings/ProfileName.h"
#include "settings/SettingsFile.h"
#include "ui/OptionBits.h"

namespace stowra {

bool MainWindowModel::Load(const std::string& settingsPath) {
    Prompter& messages = view_.Messages();
    if (const std::string problem = SettingsReadProblem(settingsPath); !problem.empty()) {
        const std::string question =
            problem + "\n\n" + Tr("既定の設定で続けますか？（このファイルは書き換えません）");
        if (messages.Ask(question, "", MessageIcon::Exclamation, MessageButtons::YesNo) !=
            MessageAnswer::Yes) {
            return false;
        }
        keepSettingsFile_ = true;
        LoadSettings(std::string(), settings);  // nothing to read: the defaults and the built-in discs
        ShowProfiles();
        return true;
    }
    try {
        LoadSettings(settingsPath, settings);
    } catch (...) {
        ShowProfiles();  // what could be read is shown before the error is
        throw;
    }
    ShowProfiles();
    if (const std::string problem = SettingsWriteProblem(settingsPath); !problem.empty()) {
        const std::string question =
            problem + "\n\n" + Tr("このままでは閉じるときに設定を保存できません。続けますか？");
        return messages.Ask(question, "", MessageIcon::Exclamation, MessageButtons::YesNo) ==
               MessageAnswer::Yes;
    }
    return true;
}

void MainWindowModel::Save(const std::string& settingsPath, std::string sourceText,
                           std::string destinationText) {
    settings.SrcFolder = std::move(sourceText);
    settings.DstFolder = std::move(destinationText);
    if (!keepSettingsFile_) {
        SaveSettings(settingsPath, settings);
    }
}

std::vector<std::string> MainWindowModel::ProfileNames() const {
    std::vector<std::string> names;
    for (const auto& entry : settings.profiles) {
        names.push_back(entry.name);
    }
    return names;
}

const MediaProfile* MainWindowModel::CurrentProfile() const {
    if (settings.selected >= settings.profiles.size()) {
        return nullptr;
    }
    return settings.profiles[settings.selected].profile.get();
}

void MainWindowModel::SelectProfile(std::size_t index) {
    // Picking the entry that is already current changes no profile, so the results stay.
    if (index == settings.selected || index >= settings.profiles.size()) {
        return;
    }
    settings.selected = index;
    ClearResults();
}

MediaForm MainWindowModel::PrepareMediaForm(bool addMode) const {
    MediaForm form;
    form.addMode = addMode;
    form.profileNames = ProfileNames();
    form.selectedIndex = static_cast<int>(settings.selected);
    const std::size_t skipped = addMode ? ProfileList::npos : settings.selected;
    form.nameProblem = [this, skipped](const std::string& name) {
        return ProfileNameProblem(name, settings.profiles, skipped);
    };
    form.slackEnabled = (settings.Options & OptionFlags::UseSlack) != 0;
    form.readAtip = (settings.Options & OptionFlags::ReadAtip) != 0;
    return form;
}

void MainWindowModel::EditProfile() {
    if (settings.selected >= settings.profiles.size()) {
        return;
    }
    auto& entry = settings.profiles[settings.selected];
    MediaForm form = PrepareMediaForm(false);
    const MediaProfile& p = *entry.profile;
    form.values = {entry.name, p.Cluster, p.Total, p.System, p.Slack, p.fileSystem};
    if (view_.EditMedia(form)) {
        const MediaValues& v = form.values;
        *entry.profile = {v.cluster, v.total, v.system, v.slack, v.fileSystem};
        entry.name = v.name;
        ShowProfiles();  // the results stay: they were packed for the profile as it was shown
    }
}

void MainWindowModel::AddProfile() {
    MediaForm form = PrepareMediaForm(true);
    form.values = {"",
                   2048,
                   0,
                   settings.DefaultSystem,
                   settings.DefaultSlack,
                   FileSystem::Iso9660};  // a new disc type packs discs that fit
    if (view_.EditMedia(form)) {
        const MediaValues& v = form.values;
        settings.profiles.Append(v.name, {v.cluster, v.total, v.system, v.slack, v.fileSystem});
        settings.selected = settings.profiles.size() - 1;
        ShowProfiles();
        ClearResults();
    }
}

void MainWindowModel::DeleteProfile() {
    Prompter& messages = view_.Messages();
    if (settings.profiles.size() < 2) {
        messages.Ask(Tr("最低でも１つのメディア情報が必要です"), "", MessageIcon::Exclamation,
                     MessageButtons::Ok);
        return;
    }
    const std::size_t i = settings.selected;
    if (i >= settings.profiles.size()) {
        return;
    }
    const std::string name = settings.profiles[i].name;
    if (messages.Ask(Tr("このメディア情報を削除してよいですか？"), name, MessageIcon::Exclamation,
                     MessageButtons::YesNo) != MessageAnswer::Yes) {
        return;
    }
    // The entry before the deleted one, or the one after it when the first goes (which then
    // moves up to the first place).
    settings.profiles.Remove(i);
    settings.selected = i == 0 ? 0 : i - 1;
    ShowProfiles();
    ClearResults();
}

void MainWindowModel::EditOptions() {
    OptionsForm form;
    form.minSize = settings.MinSize;
    for (std::size_t b = 0; b < form.checks.size(); ++b) {
        form.checks[b] = (settings.Options & kOptionDialogBits[b]) != 0;
    }
    if (!view_.EditOptions(form)) {
        return;
    }
    settings.MinSize = form.minSize;
    const std::int32_t before = settings.Options;
    settings.Options = ApplyOptionChecks(settings.Options, form.checks);
    // The discs were packed with room for their index and checksum files, or without it: a result
    // packed under the other choice would not fit what the move now puts onto them.
    const std::int32_t written = OptionFlags::WriteIndex | OptionFlags::WriteChecksums;
    if (((before ^ settings.Options) & written) != 0 && state.HasResult()) {
        ClearResults();
    }
}

void MainWindowModel::EditGrouping() {
    int item = GroupItemOf(settings.Options);
    if (view_.EditGrouping(item)) {
        settings.Options = ApplyGroupItem(settings.Options, item);
    }
}

bool MainWindowModel::ChooseSource(FolderChooser& chooser, std::string& sourceText) {
    return ChooseSourceFolder(chooser, sourceText, *this);
}

bool MainWindowModel::ChooseDestination(FolderChooser& chooser, std::string& destinationText) {
    return ChooseDestinationFolder(chooser, destinationText);
}

ScanInput MainWindowModel::MakeScanInput(const std::string& sourceText) const {
    ScanInput in;
    in.sourceFolder = sourceText;
    in.options = settings.Options;
    in.minSize = settings.MinSize;
    if (const MediaProfile* p = CurrentProfile()) {
        in.profile = *p;
    }
    return in;
}

void MainWindowModel::Scan(const std::string& sourceText) {
    RunScan(MakeScanInput(sourceText), state, *this);
}

void MainWindowModel::Move(const std::string& destinationText, Prompter& moveMessages,
                           ProgressSink& progress) {
    moveMessages_ = &moveMessages;
    struct Unhook {
        Prompter*& messages;
        ~Unhook() { messages = nullptr; }
    } unhook{moveMessages_};
    const std::size_t discs = state.result.media.size();
    const MoveReport report = MoveFiles({destinationText, settings.Options}, state, *this, progress);
    if (!report.destinationRoot.empty()) {
        lastMoveDiscs_.clear();
        for (std::size_t n = 1; n <= discs; ++n) {
            lastMoveDiscs_.push_back(report.destinationRoot + std::to_string(n));
        }
    }
}

void MainWindowModel::Verify(FolderChooser& chooser, ProgressSink& progress) {
    const std::string folder = chooser.SelectFolder(Tr(kVerifyFolderTitle));
    if (folder.empty()) {
        return;
    }
    LogPane& log = view_.Log();
    log.SetColor(LogColor::WindowText);
    log.Repaint();
    const VerifyReport report = VerifyDisc(folder, &progress);
    LogVerifyReport(folder, report, log);
    log.Repaint();
}

void MainWindowModel::SelectNode(int index) {
    list_.ShowNode(index);
    view_.ShowList(list_.Mode());
}

void MainWindowModel::ClearResults() {
    state.Clear();
    tree_.clear();
    view_.ShowTree(tree_);
    list_.Show(ListMode::Empty);
    view_.ShowList(ListMode::Empty);
    view_.Log().Clear();
    view_.SetMoveEnabled(false);
}

void MainWindowModel::ScanProgress(const std::string& text, bool done) {
    // A few times a second is enough to see the counts grow; drawing every call would slow the walk.
    const auto now = std::chrono::steady_clock::now();
    if (done || now - progressShown_ >= std::chrono::milliseconds(200)) {
        progressShown_ = done ? std::chrono::steady_clock::time_point{} : now;
        view_.ShowScanProgress(text, done);
    }
}

void MainWindowModel::ShowMoveFailures(const std::vector<BatchMoveFailure>& failures) {
    LogPane& log = view_.Log();
    log.SetColor(LogColor::Red);
    const std::size_t listed = std::min(failures.size(), kListedMoveFailures);
    for (std::size_t i = 0; i < listed; ++i) {
        const BatchMoveFailure& f = failures[i];
        log.Insert(Format(Tr("移動しなかったファイル: %s -> %s: %s"), f.source.c_str(), f.destination.c_str(),
                          f.reason.c_str()) +
                   "\n");
    }
    if (failures.size() > listed) {
        log.Insert(Format(Tr("ほかに移動しなかったファイル %zu\n"), failures.size() - listed));
    }
    log.SetColor(LogColor::WindowText);
    log.Repaint();
}

void MainWindowModel::ShowResult() {
    tree_ = ResultTree(state);
    view_.ShowTree(tree_);
}

}  // namespace stowra
