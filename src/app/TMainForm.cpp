#include "app/TMainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include "app/InputHold.h"
#ifdef STOWRA_WITH_BURN
#include <QInputDialog>

#include "app/BurnFromWindow.h"
#include "drive/DriveList.h"
#endif
#include "app/MoveProgressDialog.h"
#include "dialogs/BusyCursor.h"
#include "dialogs/MediaProbeView.h"
#include "dialogs/TGroupDialog.h"
#include "dialogs/TMediaDialog.h"
#include "dialogs/TOptDialog.h"
#include "fileio/LExcept.h"
#include "platform/Folder.h"

namespace stowra {

namespace {

// The window's controls and menu, off while a check runs from its handler and on again however
// the handler ends.
class ControlsOff {
public:
    explicit ControlsOff(QMainWindow& window) : window_(window) {
        window_.centralWidget()->setEnabled(false);
        window_.menuBar()->setEnabled(false);
    }
    ~ControlsOff() {
        window_.centralWidget()->setEnabled(true);
        window_.menuBar()->setEnabled(true);
    }
    ControlsOff(const ControlsOff&) = delete;
    ControlsOff& operator=(const ControlsOff&) = delete;

private:
    QMainWindow& window_;
};

constexpr int kNodeIndexRole = Qt::UserRole + 1;

QString BrowseForFolder(QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start.isEmpty() ? QDir::homePath() : start);
}

const char* const kUnreadableFolderName =
    "フォルダ名に文字として読めないバイトが含まれているため、ここでは選択できません\n"
    "（フォルダを入力欄へドロップすると指定できます）";

// A folder browser as the engine asks for it.
class ServiceChooser : public FolderChooser {
public:
    explicit ServiceChooser(std::function<std::string(std::string_view)> select)
        : select_(std::move(select)) {}
    std::string SelectFolder(std::string_view title) override { return select_(title); }

private:
    std::function<std::string(std::string_view)> select_;
};

}  // namespace

TMainForm::TMainForm(Services services, QWidget* parent)
    : QMainWindow(parent),
      model(*this),
      services_(std::move(services)),
      ownPrompter_(this),
      prompter_(services_.prompter != nullptr ? services_.prompter : &ownPrompter_),
      log_(nullptr),
      listModel_(nullptr) {
    if (!services_.makeTransport) {
        services_.makeTransport = MakeSystemTransport;
    }
    if (!services_.selectFolder) {
        services_.selectFolder = [this](const QString& title, const QString& start) {
            return BrowseForFolder(this, title, start);
        };
    }
    if (!services_.selectFile) {
        services_.selectFile = [this](const QString& title, const QString& start) {
            return QFileDialog::getOpenFileName(this, title, start.isEmpty() ? QDir::homePath() : start);
        };
    }
    BuildControls();
    log_ = RichEditPane(RichEdit, {TreeView, ListView});
    FormCreate();
}

TMainForm::~TMainForm() {
    FormDestroy();
}

void TMainForm::BuildControls() {
    setWindowTitle(QStringLiteral("Stowra (Ver 1.0)"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    LabelMedia = new QLabel(QTr("対象メディア"), central);
    ComboBox = new QComboBox(central);
    ComboBox->setEditable(false);
    ButtonEdt = new QPushButton(QTr("編集"), central);
    ButtonAdd = new QPushButton(QTr("追加"), central);
    ButtonDel = new QPushButton(QTr("削除"), central);
    LabelSrc = new QLabel(QTr("入力フォルダ"), central);
    EditSrc = new FolderEdit(central);
    ButtonSrc = new QPushButton(QTr("選択"), central);
    LabelDst = new QLabel(QTr("出力フォルダ"), central);
    EditDst = new FolderEdit(central);
    ButtonDst = new QPushButton(QTr("選択"), central);
    ButtonScan = new QPushButton(QTr("１．詰込調査開始"), central);
    LabelArrow = new QLabel(QStringLiteral("⇒"), central);
    ButtonMove = new QPushButton(QTr("２．対象を移動"), central);
    ButtonMove->setEnabled(false);
    ButtonGroup = new QPushButton(QTr("簡易グループ化の設定"), central);
    for (QPushButton* b : {ButtonEdt, ButtonAdd, ButtonDel, ButtonSrc, ButtonDst}) {
        b->setAutoDefault(false);
        b->setMaximumWidth(56);
    }

    auto* grid = new QGridLayout;
    grid->addWidget(LabelMedia, 0, 0);
    auto* mediaRow = new QHBoxLayout;
    mediaRow->addWidget(ComboBox, 1);
    mediaRow->addWidget(ButtonEdt);
    mediaRow->addWidget(ButtonAdd);
    mediaRow->addWidget(ButtonDel);
    grid->addLayout(mediaRow, 0, 1, 1, 2);
    grid->addWidget(LabelSrc, 1, 0);
    grid->addWidget(EditSrc, 1, 1);
    grid->addWidget(ButtonSrc, 1, 2);
    grid->addWidget(LabelDst, 2, 0);
    grid->addWidget(EditDst, 2, 1);
    grid->addWidget(ButtonDst, 2, 2);
    auto* commands = new QHBoxLayout;
    commands->addWidget(ButtonScan);
    commands->addWidget(LabelArrow);
    commands->addWidget(ButtonMove);
    commands->addStretch();
    commands->addWidget(ButtonGroup);
    grid->addLayout(commands, 3, 0, 1, 3);

    RichEdit = new QTextEdit(central);
    RichEdit->setReadOnly(true);
    RichEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit->setMinimumHeight(60);

    TreeView = new QTreeWidget(central);
    TreeView->setHeaderHidden(true);
    TreeView->setMinimumSize(60, 60);
    TreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);

    listModel_ = new ResultListModel(model.List(), this);
    ListView = new QTreeView(central);
    ListView->setModel(listModel_);
    ListView->setRootIsDecorated(false);
    ListView->setUniformRowHeights(true);
    // A path too long for its column keeps its file name in sight: the folders in between give way.
    ListView->setTextElideMode(Qt::ElideMiddle);
    ListView->setItemsExpandable(false);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->header()->setSectionsClickable(false);
    ListView->header()->setSectionsMovable(false);  // the columns' order is fixed
    ListView->header()->setStretchLastSection(false);
    ListView->header()->setHidden(true);
    ListView->setMinimumSize(60, 60);

    SplitterV = new QSplitter(Qt::Horizontal);
    SplitterV->addWidget(TreeView);
    SplitterV->addWidget(ListView);
    SplitterV->setChildrenCollapsible(false);
    SplitterV->setOpaqueResize(true);
    SplitterV->setSizes({185, 315});
    SplitterH = new QSplitter(Qt::Vertical);
    SplitterH->addWidget(RichEdit);
    SplitterH->addWidget(SplitterV);
    SplitterH->setChildrenCollapsible(false);
    SplitterH->setOpaqueResize(true);
    SplitterH->setSizes({110, 240});

    auto* layout = new QVBoxLayout(central);
    layout->addLayout(grid);
    layout->addWidget(SplitterH, 1);

    MenuOpt = menuBar()->addAction(QTr("オプション(&O)"));
    MenuVerify = menuBar()->addAction(QTr("確認(&V)"));
#ifdef STOWRA_WITH_BURN
    MenuVerifyImage = menuBar()->addAction(QTr("イメージを確認(&I)..."));
    MenuVerifyDrive = menuBar()->addAction(QTr("ディスクを確認(&D)..."));
    MenuBurn = menuBar()->addAction(QTr("書き込み(&B)"));
#endif
    statusBar()->setSizeGripEnabled(false);
    statusBar()->hide();  // shown while a scan collects the files

    // The model keeps the selection; the box mirrors it and reports what the user picks (the
    // box's own changes while it is refilled are kept from the model).
    connect(ComboBox, &QComboBox::currentIndexChanged, this,
            [this] { Guarded([this] { ComboBoxChange(); }); });
    for (FolderEdit* e : {EditSrc, EditDst}) {
        connect(e, &QLineEdit::textChanged, this, [this, e] { EditSrcChange(e); });
    }
    connect(ButtonSrc, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonSrcClick(); }); });
    connect(ButtonDst, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonDstClick(); }); });
    connect(ButtonScan, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonScanClick(); }); });
    connect(ButtonMove, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonMoveClick(); }); });
    connect(ButtonEdt, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonEdtClick(); }); });
    connect(ButtonAdd, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonAddClick(); }); });
    connect(ButtonDel, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonDelClick(); }); });
    connect(ButtonGroup, &QPushButton::clicked, this, [this] { Guarded([this] { ButtonGroupClick(); }); });
    connect(MenuOpt, &QAction::triggered, this, [this] { Guarded([this] { MenuOptClick(); }); });
    connect(MenuVerify, &QAction::triggered, this, [this] { Guarded([this] { MenuVerifyClick(); }); });
    if (MenuVerifyImage != nullptr) {
        connect(MenuVerifyImage, &QAction::triggered, this,
                [this] { Guarded([this] { MenuVerifyImageClick(); }); });
        connect(MenuVerifyDrive, &QAction::triggered, this,
                [this] { Guarded([this] { MenuVerifyDriveClick(); }); });
    }
    if (MenuBurn != nullptr) {
        connect(MenuBurn, &QAction::triggered, this, [this] { Guarded([this] { MenuBurnClick(); }); });
    }
    connect(TreeView, &QTreeWidget::itemSelectionChanged, this,
            [this] { Guarded([this] { TreeViewChange(); }); });
    connect(TreeView, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { TreeViewCollapsed(item); });

    resize(512, 512);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TMainForm::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const LExcept& e) {
        prompter_->Ask(e.message, "", MessageIcon::Stop, MessageButtons::Ok);
    } catch (const std::exception& e) {
        prompter_->Ask(e.what(), "", MessageIcon::Stop, MessageButtons::Ok);
    }
}

void TMainForm::FormCreate() {
    SetToolTipDurations(this);
    Guarded([this] { startRefused_ = !model.Load(services_.settingsPath); });
    EditSrc->SetNativeText(model.settings.SrcFolder);
    EditDst->SetNativeText(model.settings.DstFolder);
    model.ClearResults();
    EditSrcChange(EditSrc);
    EditSrcChange(EditDst);
}

void TMainForm::FormDestroy() {
    if (startRefused_) {
        return;
    }
    Guarded([this] { model.Save(services_.settingsPath, EditSrc->NativeText(), EditDst->NativeText()); });
    model.state.Clear();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    Closing = true;
    event->accept();
}

void TMainForm::ShowProfiles(const std::vector<std::string>& names, std::size_t selected) {
    const QSignalBlocker quiet(ComboBox);
    ComboBox->clear();
    for (const std::string& name : names) {
        ComboBox->addItem(ToQt(name));
    }
    ComboBox->setCurrentIndex(static_cast<int>(selected));
}

void TMainForm::ComboBoxChange() {
    model.SelectProfile(static_cast<std::size_t>(std::max(ComboBox->currentIndex(), 0)));
}

void TMainForm::EditSrcChange(FolderEdit* edit) {
    edit->UpdateColor();
}

std::string TMainForm::ChooseFolder(const std::string& title, const FolderEdit& field) {
    // The browser opens at the field's folder when there is one it can show.
    const std::string current = field.NativeText();
    const QString start =
        FolderExists(current) && FromQt(ToQt(current)) == current ? ToQt(current) : QString();
    const QString chosen = services_.selectFolder(ToQt(title), start);
    if (chosen.isEmpty()) {
        return {};
    }
    // The browser hands over text. A name that is not valid in the platform's encoding has lost
    // its bytes to replacement characters on the way, and using the text would name another,
    // most likely missing, folder: refuse it instead.
    const std::string path = FromQt(chosen);
    if (chosen.contains(QChar::ReplacementCharacter) || ToQt(path) != chosen) {
        prompter_->Ask(Tr(kUnreadableFolderName), "", MessageIcon::Exclamation, MessageButtons::Ok);
        return {};
    }
    return path;
}

void TMainForm::ButtonSrcClick() {
    ServiceChooser chooser(
        [this](std::string_view title) { return ChooseFolder(std::string(title), *EditSrc); });
    std::string text = EditSrc->NativeText();
    if (model.ChooseSource(chooser, text)) {
        // The results were cleared; the text is set after, so the field shows the new folder.
        EditSrc->SetNativeText(text);
    }
}

void TMainForm::ButtonDstClick() {
    ServiceChooser chooser(
        [this](std::string_view title) { return ChooseFolder(std::string(title), *EditDst); });
    std::string text = EditDst->NativeText();
    if (model.ChooseDestination(chooser, text)) {
        EditDst->SetNativeText(text);
    }
}

void TMainForm::ButtonScanClick() {
    BusyCursor busy;
    ButtonScan->setEnabled(false);
    struct Reenable {
        QPushButton* button;
        ~Reenable() { button->setEnabled(true); }
    } reenable{ButtonScan};
    // Declared after the button's guard, so queued clicks are dropped before it is enabled again.
    InputHold hold(this);
    scanCancelRequested_ = false;
    scanPoll_.invalidate();
    hold.OnEscape([this] { scanCancelRequested_ = true; });
    model.Scan(EditSrc->NativeText());
}

void TMainForm::ShowScanProgress(const std::string& text, bool done) {
    // A status line of its own while the files are collected: the log pane only ever grows.
    if (done) {
        statusBar()->clearMessage();
        statusBar()->hide();
        return;
    }
    statusBar()->show();
    statusBar()->showMessage(ToQt(text));
}

bool TMainForm::ScanCancelled() {
    if (!scanPoll_.isValid() || scanPoll_.elapsed() >= 50) {
        scanPoll_.start();
        // The hold swallows every input to the window but Escape, which sets the flag.
        QCoreApplication::processEvents();
    }
    // A window closed meanwhile wants no result either.
    return scanCancelRequested_ || Closing;
}

void TMainForm::ButtonMoveClick() {
    BusyCursor busy;
    ButtonMove->setEnabled(false);
    // Nothing else may act on the window while the move reads the packing result.
    centralWidget()->setEnabled(false);
    menuBar()->setEnabled(false);
    struct Restore {
        TMainForm* form;
        ~Restore() {
            form->centralWidget()->setEnabled(true);
            form->menuBar()->setEnabled(true);
            form->ButtonMove->setEnabled(form->model.state.HasResult());
        }
    } restore{this};
    InputHold hold(this);
    MoveProgressDialog progress(this, *prompter_);
    model.Move(EditDst->NativeText(), progress, progress);
}

void TMainForm::ShowTree(const std::vector<TreeNode>& nodes) {
    TreeView->clear();
    if (nodes.empty()) {
        return;
    }
    QIcon folder;
    folder.addPixmap(style()->standardPixmap(QStyle::SP_DirClosedIcon), QIcon::Normal);
    folder.addPixmap(style()->standardPixmap(QStyle::SP_DirOpenIcon), QIcon::Selected);
    std::vector<QTreeWidgetItem*> items;
    for (const TreeNode& node : nodes) {
        QTreeWidgetItem* parent = node.parent >= 0 && static_cast<std::size_t>(node.parent) < items.size()
                                      ? items[node.parent]
                                      : nullptr;
        auto* item = parent != nullptr ? new QTreeWidgetItem(parent, {ToQt(node.caption)})
                                       : new QTreeWidgetItem(TreeView, {ToQt(node.caption)});
        item->setIcon(0, folder);
        item->setData(0, kNodeIndexRole, node.index);
        items.push_back(item);
    }
    TreeView->expandAll();
    TreeView->setCurrentItem(items.front());
}

void TMainForm::TreeViewChange() {
    const QList<QTreeWidgetItem*> selected = TreeView->selectedItems();
    model.SelectNode(selected.isEmpty() ? -1 : selected.front()->data(0, kNodeIndexRole).toInt());
}

void TMainForm::ShowList(ListMode mode) {
    listModel_->Reset();
    ListView->header()->setHidden(mode == ListMode::Empty);
    if (mode == ListMode::Summary) {
        SizeSummaryColumns();
    } else if (mode == ListMode::Files) {
        SizeFileColumns();
    }
}

void TMainForm::SizeFileColumns() {
    const std::array<int, 2> widths = FileColumnWidths(ListView->viewport()->width(), DigitWidth());
    ListView->header()->resizeSection(0, widths[0]);
    ListView->header()->resizeSection(1, widths[1]);
}

void TMainForm::SizeSummaryColumns() {
    // The design's widths, scaled to the font, are narrowed where the list is too small to show
    // them all, down to what the header and the texts need: "詰め込み率" is the column users look
    // for, and it is the last one.
    QHeaderView* header = ListView->header();
    QStyle* style = ListView->style();
    const QFontMetrics metrics = ListView->fontMetrics();
    const int margin = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, ListView) + 1) + 2;
    std::array<int, 4> least{};
    for (int c = 0; c < 4; ++c) {
        least[c] = header->sectionSizeHint(c);
    }
    auto measure = [&](int row) {
        const QStringList texts = listModel_->ListViewData(row);
        for (int c = 0; c < 4 && c < texts.size(); ++c) {
            least[c] = std::max(least[c], metrics.horizontalAdvance(texts[c]) + margin);
        }
    };
    // The widest texts are among the first rows and in the last one (its number); measuring every
    // row of a huge result would cost time and show nothing more.
    const int rows = listModel_->rowCount();
    for (int r = 0; r < std::min(rows, 1000); ++r) {
        measure(r);
    }
    if (rows > 0) {
        measure(rows - 1);
    }
    std::array<int, 4> wanted{};
    for (int c = 0; c < 4; ++c) {
        wanted[c] =
            std::max(ScaledWidth(kSummaryDesignWidths[static_cast<std::size_t>(c)], DigitWidth()), least[c]);
    }
    // Room for a vertical scroll bar is kept whether or not one shows.
    const int room =
        ListView->contentsRect().width() - style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ListView);
    const std::array<int, 4> widths = FitWidths(wanted, least, room);
    for (int c = 0; c < 4; ++c) {
        header->resizeSection(c, widths[c]);
    }
}

void TMainForm::TreeViewCollapsed(QTreeWidgetItem* item) {
    const QTreeWidgetItem* current = TreeView->currentItem();
    if (current == nullptr) {
        return;
    }
    const int target = model.NodeToSelectAfterCollapse(current->data(0, kNodeIndexRole).toInt(),
                                                       item->data(0, kNodeIndexRole).toInt());
    if (target != current->data(0, kNodeIndexRole).toInt()) {
        TreeView->setCurrentItem(item);
    }
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainForm::FormResize() {
    if (Closing || listModel_ == nullptr || listModel_->CurrentMode() != ListMode::Files) {
        return;
    }
    SizeFileColumns();
}

double TMainForm::DigitWidth() const {
    return ListView->fontMetrics().horizontalAdvance(QLatin1Char('0'));
}

bool TMainForm::EditMedia(MediaForm& form) {
    TMediaDialog dialog(*prompter_, this);
    dialog.form = form;
    dialog.SetValues(form.values);
    dialog.SetSlackEnabled(form.slackEnabled);
    dialog.probe = [this, readAtip = form.readAtip](TMediaDialog& d) {
        MediaProbeView view(d);
        ProbeBlankMedia(view, services_.makeTransport, readAtip);
    };
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    form.values = dialog.Values();
    return true;
}

bool TMainForm::EditOptions(OptionsForm& form) {
    TOptDialog dialog(*prompter_, this);
    dialog.EditMin->setText(QString::number(form.minSize));
    const auto checks = dialog.Checks();
    for (std::size_t b = 0; b < checks.size(); ++b) {
        checks[b]->setChecked(form.checks[b]);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    form.minSize = dialog.EditMin->value;
    for (std::size_t b = 0; b < checks.size(); ++b) {
        form.checks[b] = checks[b]->isChecked();
    }
    return true;
}

bool TMainForm::EditGrouping(int& item) {
    TGroupDialog dialog(this);
    dialog.SetItemIndex(item);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    item = dialog.ItemIndex();
    return true;
}

void TMainForm::ButtonEdtClick() {
    model.EditProfile();
}

void TMainForm::ButtonAddClick() {
    model.AddProfile();
}

void TMainForm::ButtonDelClick() {
    model.DeleteProfile();
}

void TMainForm::MenuOptClick() {
    model.EditOptions();
}

void TMainForm::MenuVerifyClick() {
    // Started in the destination field's folder, where the disc folders of the moves are.
    ServiceChooser chooser(
        [this](std::string_view title) { return ChooseFolder(std::string(title), *EditDst); });
    const ControlsOff off(*this);
    MoveProgressDialog progress(this, *prompter_);
    model.Verify(chooser, progress);
}

void TMainForm::ButtonGroupClick() {
    model.EditGrouping();
}

}  // namespace stowra

namespace stowra {

// The disc folders of the last move are offered checked; others are added with the folder browser.
void TMainForm::MenuBurnClick() {
#ifdef STOWRA_WITH_BURN
    std::vector<std::string> drives;
    if (std::unique_ptr<SCSI> transport = services_.makeTransport()) {
        for (const DriveLine& d : ListDriveLines(*transport)) {
            if (d.problem.empty()) {
                drives.push_back(d.address);
            }
        }
    }
    const auto choose = [this] {
        return QFile::encodeName(services_.selectFolder(QTr("書き込むディスクフォルダ"), QString()))
            .toStdString();
    };
    const MediaProfile* profile = model.CurrentProfile();
    const bool udf = profile != nullptr && profile->fileSystem == FileSystem::Udf;
    TBurnDialog dialog(model.LastMoveDiscs(), drives, choose, udf, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    menuBar()->setEnabled(false);
    centralWidget()->setEnabled(false);
    BurnFromWindow(this, dialog.Choice(), *prompter_, log_);
    menuBar()->setEnabled(true);
    centralWidget()->setEnabled(true);
#endif
}

}  // namespace stowra

namespace stowra {

void TMainForm::MenuVerifyImageClick() {
#ifdef STOWRA_WITH_BURN
    const QString chosen = services_.selectFile(QTr("確認するディスクイメージ"), QString());
    if (!chosen.isEmpty()) {
        VerifyDisc(QFile::encodeName(chosen).toStdString(), {});
    }
#endif
}

// The drives the burn dialog offers; with several, the user picks one.
void TMainForm::MenuVerifyDriveClick() {
#ifdef STOWRA_WITH_BURN
    QStringList drives;
    if (std::unique_ptr<SCSI> transport = services_.makeTransport()) {
        for (const DriveLine& d : ListDriveLines(*transport)) {
            if (d.problem.empty()) {
                drives.push_back(ToQt(d.address));
            }
        }
    }
    if (drives.isEmpty()) {
        prompter_->Ask(Tr("ドライブがみつかりませんでした"), "", MessageIcon::Stop, MessageButtons::Ok);
        return;
    }
    QString drive = drives.front();
    if (drives.size() > 1) {
        bool ok = false;
        drive = QInputDialog::getItem(this, QTr("ディスクを確認"), QTr("ドライブ"), drives, 0, false, &ok);
        if (!ok) {
            return;
        }
    }
    VerifyDisc({}, FromQt(drive));
#endif
}

void TMainForm::VerifyDisc(std::string image, std::string device) {
#ifdef STOWRA_WITH_BURN
    burning::DiscCheckRequest request{std::move(image), std::move(device), {}};
    if (prompter_->Ask(Tr("ディスクフォルダのファイルとも一つずつ比べますか？"), Tr("確認"),
                       MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes) {
        request.folder = ChooseFolder(Tr("比べるディスクフォルダ"), *EditDst);
        if (request.folder.empty()) {
            return;
        }
    }
    const ControlsOff off(*this);
    MoveProgressDialog progress(this, *prompter_);
    VerifyDiscFromWindow(request, progress, log_);
#else
    (void)image;
    (void)device;
#endif
}

}  // namespace stowra
