#pragma once
// The main window's rules without a toolkit: which profile is selected and what selecting,
// adding, editing and deleting one does; how the option and grouping dialogs change the option
// bits; what a scan and a move are given; what the result tree holds and which list each of its
// nodes shows. A front end implements MainWindowView, draws what it is told, and hands each
// click to the model; every dialog it shows edits a plain form.

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "packing/ScanSession.h"
#include "settings/AppSettings.h"
#include "ui/FolderChooser.h"
#include "ui/MediaForm.h"
#include "ui/ResultView.h"

namespace stowra {

// "オプション": the minimum file size and the check boxes, in the order of the form.
struct OptionsForm {
    std::int32_t minSize = 0;
    std::array<bool, 8> checks{};
};

class MainWindowView {
public:
    virtual ~MainWindowView() = default;
    // The profile selector: every name, with entry `selected` current.
    virtual void ShowProfiles(const std::vector<std::string>& names, std::size_t selected) = 0;
    // The result tree, or an empty one; the view selects node 0 of a tree that is not empty.
    virtual void ShowTree(const std::vector<TreeNode>& nodes) = 0;
    // The list beside the tree changed what it shows: read it again from the model's list.
    virtual void ShowList(ListMode mode) = 0;
    virtual void SetMoveEnabled(bool enabled) = 0;
    virtual LogPane& Log() = 0;
    virtual Prompter& Messages() = 0;
    virtual bool ScanCancelled() { return false; }
    // While the files are collected: what was found so far, a few times a second; with `done`
    // the walk has ended and the display goes away.
    virtual void ShowScanProgress(const std::string& /*text*/, bool /*done*/) {}
    // The dialogs, modal: true when the user closed them with OK, the form then holding the values.
    virtual bool EditMedia(MediaForm& form) = 0;
    virtual bool EditOptions(OptionsForm& form) = 0;
    virtual bool EditGrouping(int& item) = 0;
};

// The log lists at most this many files a move left behind; a count says how many more there are.
inline constexpr std::size_t kListedMoveFailures = 300;

class MainWindowModel : public ScanWindow {
public:
    explicit MainWindowModel(MainWindowView& view) : view_(view), list_(state) {}

    AppSettings settings;  // option bits, minimum size, defaults, folders, profiles, selection
    ScanState state;

    // Reads the settings file and shows the profiles; errors reach the caller. A file that cannot
    // be read as settings, or that could not be written at the end, is said at once and the user
    // chooses whether to go on (with the defaults, when it could not be read): false when not.
    bool Load(const std::string& settingsPath);
    // Writes the settings with the folder fields as they stand; a file that could not be read is
    // left as it is.
    void Save(const std::string& settingsPath, std::string sourceText, std::string destinationText);

    const MediaProfile* CurrentProfile() const;
    std::size_t Selected() const { return settings.selected; }
    // The user picked entry `index`: another profile discards the result packed for the last one.
    void SelectProfile(std::size_t index);
    void EditProfile();
    void AddProfile();
    void DeleteProfile();
    void EditOptions();
    void EditGrouping();

    // The browse buttons of the two folder fields; a chosen source discards the result.
    bool ChooseSource(FolderChooser& chooser, std::string& sourceText);
    bool ChooseDestination(FolderChooser& chooser, std::string& destinationText);

    ScanInput MakeScanInput(const std::string& sourceText) const;
    void Scan(const std::string& sourceText);
    void Move(const std::string& destinationText, Prompter& moveMessages, ProgressSink& progress);
    // The verify menu item: a disc or disc folder chosen in the folder browser is checked against
    // its checksum files, with progress, and the outcome written into the log.
    void Verify(FolderChooser& chooser, ProgressSink& progress);
    // The disc folders the last move made, in disc order (offered for burning).
    const std::vector<std::string>& LastMoveDiscs() const { return lastMoveDiscs_; }

    // The tree of the result shown now, and the node the user selected in it.
    const std::vector<TreeNode>& Tree() const { return tree_; }
    void SelectNode(int index);
    int NodeToSelectAfterCollapse(int selected, int collapsed) const {
        return SelectionAfterCollapse(tree_, selected, collapsed);
    }
    const ResultList& List() const { return list_; }

    // ScanWindow: what the scan and the move see of the window.
    LogPane& Log() override { return view_.Log(); }
    Prompter& Messages() override { return moveMessages_ != nullptr ? *moveMessages_ : view_.Messages(); }
    void ClearResults() override;
    void ShowResult() override;
    void SetMoveEnabled(bool enabled) override { view_.SetMoveEnabled(enabled); }
    bool ScanCancelled() override { return view_.ScanCancelled(); }
    void ScanProgress(const std::string& text, bool done) override;
    void ShowMoveFailures(const std::vector<BatchMoveFailure>& failures) override;

private:
    void ShowProfiles() { view_.ShowProfiles(ProfileNames(), settings.selected); }
    std::vector<std::string> ProfileNames() const;
    MediaForm PrepareMediaForm(bool addMode) const;

    MainWindowView& view_;
    ResultList list_;
    std::vector<TreeNode> tree_;
    std::vector<std::string> lastMoveDiscs_;
    Prompter* moveMessages_ = nullptr;  // the move's progress while it runs
    bool keepSettingsFile_ = false;     // it could not be read: never replaced by the defaults
    std::chrono::steady_clock::time_point progressShown_{};
};

}  // namespace stowra
