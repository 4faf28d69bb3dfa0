#pragma once
// The main window: lays out its controls, hands each of their events to the window's model and
// draws what the model shows. The model owns the settings, the profiles and the scan's state and
// holds the window's rules; the engine does the work.

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
#include "ui/MainWindowModel.h"

namespace stowra {

class TMainForm : public QMainWindow, public MainWindowView {
    Q_OBJECT
public:
    struct Services {
        std::string settingsPath;      // the settings file read at start and written at close
        Prompter* prompter = nullptr;  // message boxes; the window's own when null
        // The folder browser: shows `title`, opens at `start` (empty: the user's home), returns
        // the chosen folder as the browser hands it over, or an empty text when cancelled.
        std::function<QString(const QString& title, const QString& start)> selectFolder;
        std::function<std::unique_ptr<SCSI>()> makeTransport;  // the drive transport of "自動取得"
        // The file browser: shows `title`, opens at `start`, returns the chosen file or an empty
        // text when cancelled.
        std::function<QString(const QString& title, const QString& start)> selectFile;
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
    QAction* MenuVerify;
    QAction* MenuVerifyImage = nullptr;  // where burning is built
    QAction* MenuVerifyDrive = nullptr;  // where burning is built
    QAction* MenuBurn = nullptr;         // where burning is built

    // State.
    MainWindowModel model;
    bool Closing = false;
    // The user chose not to go on with a settings file that could not be read or written: the
    // window does not open and nothing is saved.
    bool StartRefused() const { return startRefused_; }
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
    void MenuVerifyClick();
    void MenuVerifyImageClick();
    void MenuVerifyDriveClick();
    void MenuBurnClick();
    void ButtonGroupClick();
    void TreeViewChange();
    void FormResize();
    // MainWindowView.
    void ShowProfiles(const std::vector<std::string>& names, std::size_t selected) override;
    void ShowTree(const std::vector<TreeNode>& nodes) override;
    void ShowList(ListMode mode) override;
    void SetMoveEnabled(bool enabled) override { ButtonMove->setEnabled(enabled); }
    LogPane& Log() override { return log_; }
    Prompter& Messages() override { return *prompter_; }
    // Keeps the window painted during the scan and lets Escape stop it.
    bool ScanCancelled() override;
    void ShowScanProgress(const std::string& text, bool done) override;
    bool EditMedia(MediaForm& form) override;
    bool EditOptions(OptionsForm& form) override;
    bool EditGrouping(int& item) override;

    // Runs a handler; an error that escapes it is shown in a message box and the program goes on.
    void Guarded(const std::function<void()>& handler);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool scanCancelRequested_ = false;
    bool startRefused_ = false;
    QElapsedTimer scanPoll_;  // when the scan last let the window handle its events
    void BuildControls();
    void FormCreate();
    void FormDestroy();
    // The list's font: its digits' width, which the column widths are scaled by.
    double DigitWidth() const;
    void SizeFileColumns();
    void SizeSummaryColumns();
    void TreeViewCollapsed(QTreeWidgetItem* item);
    std::string ChooseFolder(const std::string& title, const FolderEdit& field);
    // The image or drive check: asks for a disc folder to compare with, then checks and logs.
    void VerifyDisc(std::string image, std::string device);

    Services services_;
    QtPrompter ownPrompter_;
    Prompter* prompter_;
    RichEditPane log_;
    ResultListModel* listModel_;
};

}  // namespace stowra
