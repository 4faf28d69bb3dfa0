#pragma once
// The main window on Windows: lays out its controls, hands each of their events to the window's
// model and draws what the model shows. The model owns the settings, the profiles and the scan's
// state and holds the window's rules; the engine does the work.

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drive/BlankMediaProbe.h"
#include "ui/MainWindowModel.h"
#include "win32/FieldEdit.h"
#include "win32/RichEditLog.h"
#include "win32/WinHandles.h"
#include "win32/WinPrompter.h"

namespace stowra {

// Menu and control ids of the main window.
enum MainControl : int {
    IDM_OPT = 100,
    IDM_VERIFY,
    IDC_COMBO = 110,
    IDC_EDT,
    IDC_ADD,
    IDC_DEL,
    IDC_EDIT_SRC,
    IDC_BUTTON_SRC,
    IDC_EDIT_DST,
    IDC_BUTTON_DST,
    IDC_SCAN,
    IDC_MOVE,
    IDC_GROUP,
    IDC_LOG,
    IDC_TREE,
    IDC_LIST,
    IDC_STATUS,
};

class TMainForm : public MainWindowView {
public:
    struct Services {
        std::string settingsPath;        // read at start, written whole at close
        TransportFactory makeTransport;  // the drive transport of "自動取得"; the system's when empty
        bool quitOnDestroy = true;       // the program ends with its window; a test goes on
    };

    explicit TMainForm(Services services);
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    HWND Handle() const { return hwnd_; }
    // The user chose not to go on with a settings file that could not be read: the window does
    // not open and nothing is saved.
    bool StartRefused() const { return startRefused_; }
    void Show(int how);

    // Controls.
    HWND LabelMedia = nullptr, ComboBox = nullptr, ButtonEdt = nullptr, ButtonAdd = nullptr,
         ButtonDel = nullptr;
    HWND LabelSrc = nullptr, ButtonSrc = nullptr, LabelDst = nullptr, ButtonDst = nullptr;
    FieldEdit EditSrc, EditDst;
    HWND ButtonScan = nullptr, LabelArrow = nullptr, ButtonMove = nullptr, ButtonGroup = nullptr;
    HWND RichEdit = nullptr, TreeView = nullptr, ListView = nullptr, StatusLine = nullptr;
    HMENU Menu = nullptr;

    // State.
    MainWindowModel model;
    bool Closing = false;
    int LogHeight() const { return logHeight_; }
    int TreeWidth() const { return treeWidth_; }

    // MainWindowView.
    void ShowProfiles(const std::vector<std::string>& names, std::size_t selected) override;
    void ShowTree(const std::vector<TreeNode>& nodes) override;
    void ShowList(ListMode mode) override;
    void SetMoveEnabled(bool enabled) override { ::EnableWindow(ButtonMove, enabled ? TRUE : FALSE); }
    LogPane& Log() override { return log_; }
    Prompter& Messages() override { return prompter_; }
    // Keeps the window painted during the scan and lets Escape stop it; all other input waits.
    bool ScanCancelled() override;
    void ShowScanProgress(const std::string& text, bool done) override;
    bool EditMedia(MediaForm& form) override;
    bool EditOptions(OptionsForm& form) override;
    bool EditGrouping(int& item) override;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void BuildControls();
    void FormCreate();
    void FormDestroy();
    void Layout();
    void Command(int id, int code);
    LRESULT Notify(const NMHDR& header, LPARAM lParam);
    // Runs a handler; an error that escapes it is shown in a message box and the program goes on.
    void Guarded(const std::function<void()>& handler);

    // Handlers.
    void ComboBoxChange();
    void ButtonSrcClick();
    void ButtonDstClick();
    void ButtonScanClick();
    void ButtonMoveClick();
    void MenuVerifyClick();
    void TreeViewChange(const NMTREEVIEWA& change);
    void TreeViewCollapsed(const NMTREEVIEWA& change);
    void FormResize();
    void ListViewData(NMLVDISPINFOA& info);
    std::string ChooseFolder(const std::string& title, const FieldEdit& field);

    // The list's columns.
    double DigitWidth() const;
    void SizeFileColumns();
    void SizeSummaryColumns();

    // The splitters between the log and the panes below it, and between the tree and the list.
    enum class Splitter { None, Horizontal, Vertical };
    Splitter SplitterAt(POINT client) const;
    void DragSplitter(POINT client);

    // Input during a scan: Escape asks it to stop, everything else for the window is dropped.
    void RunScanMessages();
    void DropHeldInput();
    bool IsHeldInput(const MSG& msg) const;

    Services services_;
    HWND hwnd_ = nullptr;
    WinPrompter prompter_;
    RichEditLog log_;
    HMODULE richEditLibrary_ = nullptr;
    Font font_;
    Brush yellow_ = SolidBrush(kEmptyFieldColor);
    ImageList folderImages_;
    bool startRefused_ = false;
    int busy_ = 0;              // a scan or a move is running: the hourglass
    bool closeWanted_ = false;  // asked to close while busy: closes when the command returns
    bool scanCancelRequested_ = false;
    std::chrono::steady_clock::time_point lastScanPoll_{};
    int logHeight_ = 110;
    int treeWidth_ = 185;
    Splitter dragging_ = Splitter::None;
    RECT logRect_{}, paneRect_{};  // where the log and the panes below it lie
    int rowCached_ = -1;           // the row whose texts the list asked for last
    std::vector<std::string> rowTexts_;
};

// The window class of the main window, registered on first use.
inline constexpr char kMainWindowClass[] = "StowraMainForm";

}  // namespace stowra
