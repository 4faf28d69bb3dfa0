#pragma once
// The main window: owns the settings, the profiles, the option bits and the scan's state, wires
// its controls to the engine, and shows the result. The engine does the work.

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QSplitter>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/FolderEdit.h"
#include "app/ResultListModel.h"
#include "app/RichEditPane.h"
#include "dialogs/QtPrompter.h"
#include "drive/SCSI.h"
#include "packing/ScanSession.h"
#include "settings/AppSettings.h"

namespace stowra {

class TMediaDialog;

class TMainForm : public QMainWindow, public ScanWindow {
    Q_OBJECT
public:
    struct Services {
        std::string settingsPath;      // the settings file read at start and written at close
        Prompter* prompter = nullptr;  // message boxes; the window's own when null
        // The folder browser: shows `title`, opens at `start` (empty: the user's home), returns
        // the chosen folder as the browser hands it over, or an empty text when cancelled.
        std::function<QString(const QString& title, const QString& start)> selectFolder;
        std::function<std::unique_ptr<SCSI>()> makeTransport;  // the drive transport of "自動取得"
    };

    explicit TMainForm(Services services, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Controls.
    QLabel* LabelMedia;
    QComboBox* ComboBox;
    QPushButton* ButtonEdt;
    QPushButton* ButtonAdd;
    QPushButton* ButtonDel;
    QLabel* LabelSrc;
    FolderEdit* EditSrc;
    QPushButton* ButtonSrc;
    QLabel* LabelDst;
    FolderEdit* EditDst;
    QPushButton* ButtonDst;
    QPushButton* ButtonScan;
    QLabel* LabelArrow;
    QPushButton* ButtonMove;
    QPushButton* ButtonGroup;
    QTextEdit* RichEdit;
    QSplitter* SplitterH;
    QSplitter* SplitterV;
    QTreeWidget* TreeView;
    QTreeView* ListView;
    QAction* MenuOpt;

    // State.
    AppSettings settings;  // option bits, minimum size, defaults, folders, profiles, selection
    ScanState state;
    bool Closing = false;
    const MediaProfile* CurrentProfile() const;
    ResultListModel& ListModel() { return *listModel_; }

    // Handlers.
    void ComboBoxChange();
    void EditSrcChange(FolderEdit* edit);
    void ButtonSrcClick();
    void ButtonDstClick();
    void ButtonScanClick();
    void ButtonMoveClick();
    void ButtonEdtClick();
    void ButtonAddClick();
    void ButtonDelClick();
    void MenuOptClick();
    void ButtonGroupClick();
    void TreeViewChange();
    void FormResize();
    // A width given in pixels at the design resolution and font, scaled to the list's font.
    int Px(int designPixels) const;

    // ScanWindow.
    LogPane& Log() override { return log_; }
    Prompter& Messages() override { return moveMessages_ != nullptr ? *moveMessages_ : *prompter_; }
    void ClearResults() override;
    void ShowResult() override;
    void SetMoveEnabled(bool enabled) override { ButtonMove->setEnabled(enabled); }
    // Keeps the window painted during the scan and lets Escape stop it.
    bool ScanCancelled() override;

    // Runs a handler; an error that escapes it is shown in a message box and the program goes on.
    void Guarded(const std::function<void()>& handler);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool scanCancelRequested_ = false;
    QElapsedTimer scanPoll_;  // when the scan last let the window handle its events
    void BuildControls();
    void FormCreate();
    void FormDestroy();
    void FillComboBox();
    ScanInput CurrentScanInput() const;
    void PrepareMediaDialog(TMediaDialog& dialog, bool addMode);
    void SizeSummaryColumns();
    void TreeViewCollapsed(QTreeWidgetItem* item);
    std::string ChooseFolder(const std::string& title, const FolderEdit& field);

    Services services_;
    QtPrompter ownPrompter_;
    Prompter* prompter_;
    Prompter* moveMessages_ = nullptr;  // the move's progress while it runs
    RichEditPane log_;
    ResultListModel* listModel_;
};

}  // namespace stowra
