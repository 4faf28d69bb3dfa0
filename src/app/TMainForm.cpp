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
#include <QStyle>
#include <QVBoxLayout>

#include "app/InputHold.h"
#include "app/MoveProgressDialog.h"
#include "dialogs/BusyCursor.h"
#include "dialogs/MediaProbeView.h"
#include "dialogs/OptionBits.h"
#include "dialogs/TGroupDialog.h"
#include "dialogs/TMediaDialog.h"
#include "dialogs/TOptDialog.h"
#include "fileio/LExcept.h"
#include "platform/Folder.h"
#include "relocate/FolderChooser.h"
#include "relocate/MoveFiles.h"
#include "settings/ProfileName.h"
#include "settings/SettingsFile.h"

namespace stowra {

namespace {

constexpr int kNodeIndexRole = Qt::UserRole + 1;

QString BrowseForFolder(QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start.isEmpty() ? QDir::homePath() : start);
}

const char* const kUnreadableFolderName =
    "フォルダ名に文字として読めないバイトが含まれているため、ここでは選択できません\n"
    "（フォルダを入力欄へドロップすると指定できます）";

// Narrows the wanted widths towards the least ones, each in proportion to what it can give, until
// together they fit the room; never below the least, which keep every text readable.
std::array<int, 4> FitWidths(const std::array<int, 4>& wanted, const std::array<int, 4>& least, int room) {
    const int sumWanted = wanted[0] + wanted[1] + wanted[2] + wanted[3];
    const int sumLeast = least[0] + least[1] + least[2] + least[3];
    if (sumWanted <= room) {
        return wanted;
    }
    if (sumLeast >= room) {
        return least;
    }
    const double share = static_cast<double>(room - sumLeast) / (sumWanted - sumLeast);
    std::array<int, 4> widths{};
    for (std::size_t c = 0; c < widths.size(); ++c) {
        widths[c] = least[c] + static_cast<int>((wanted[c] - least[c]) * share);
    }
    return widths;
}

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

    listModel_ = new ResultListModel(state, this);
    ListView = new QTreeView(central);
    ListView->setModel(listModel_);
    ListView->setRootIsDecorated(false);
    ListView->setUniformRowHeights(true);
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

    connect(ComboBox, &QComboBox::activated, this, [this](int index) {
        // Picking the entry that is already current changes no profile, so the results stay.
        if (index != static_cast<int>(settings.selected)) {
            Guarded([this] { ComboBoxChange(); });
        }
    });
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
    Guarded([this] { LoadSettings(services_.settingsPath, settings); });
    EditSrc->SetNativeText(settings.SrcFolder);
    EditDst->SetNativeText(settings.DstFolder);
    FillComboBox();
    ComboBoxChange();
    EditSrcChange(EditSrc);
    EditSrcChange(EditDst);
}

void TMainForm::FormDestroy() {
    settings.SrcFolder = EditSrc->NativeText();
    settings.DstFolder = EditDst->NativeText();
    settings.selected = static_cast<std::size_t>(std::max(ComboBox->currentIndex(), 0));
    Guarded([this] { SaveSettings(services_.settingsPath, settings); });
    state.Clear();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    Closing = true;
    event->accept();
}

void TMainForm::FillComboBox() {
    ComboBox->clear();
    for (const auto& entry : settings.profiles) {
        ComboBox->addItem(ToQt(entry.name));
    }
    ComboBox->setCurrentIndex(static_cast<int>(settings.selected));
}

const MediaProfile* TMainForm::CurrentProfile() const {
    int i = ComboBox->currentIndex();
    if (i < 0 || static_cast<std::size_t>(i) >= settings.profiles.size()) {
        return nullptr;
    }
    return settings.profiles[static_cast<std::size_t>(i)].profile.get();
}

void TMainForm::ComboBoxChange() {
    settings.selected = static_cast<std::size_t>(std::max(ComboBox->currentIndex(), 0));
    ClearResults();
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
    if (ChooseSourceFolder(chooser, text, *this)) {
        // The results were cleared; the text is set after, so the field shows the new folder.
        EditSrc->SetNativeText(text);
    }
}

void TMainForm::ButtonDstClick() {
    ServiceChooser chooser(
        [this](std::string_view title) { return ChooseFolder(std::string(title), *EditDst); });
    std::string text = EditDst->NativeText();
    if (ChooseDestinationFolder(chooser, text)) {
        EditDst->SetNativeText(text);
    }
}

ScanInput TMainForm::CurrentScanInput() const {
    ScanInput in;
    in.sourceFolder = EditSrc->NativeText();
    in.options = settings.Options;
    in.minSize = settings.MinSize;
    if (const MediaProfile* p = CurrentProfile()) {
        in.profile = *p;
    }
    return in;
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
    RunScan(CurrentScanInput(), state, *this);
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
            form->ButtonMove->setEnabled(form->state.HasResult());
        }
    } restore{this};
    InputHold hold(this);
    MoveProgressDialog progress(this, *prompter_);
    moveMessages_ = &progress;
    struct Unhook {
        Prompter*& messages;
        ~Unhook() { messages = nullptr; }
    } unhook{moveMessages_};
    MoveFiles({EditDst->NativeText(), settings.Options}, state, *this, progress);
}

void TMainForm::ClearResults() {
    state.Clear();
    TreeView->clear();
    listModel_->Show(ResultListModel::Mode::Empty);
    ListView->header()->setHidden(true);
    log_.Clear();
    ButtonMove->setEnabled(false);
}

void TMainForm::ShowResult() {
    QIcon folder;
    folder.addPixmap(style()->standardPixmap(QStyle::SP_DirClosedIcon), QIcon::Normal);
    folder.addPixmap(style()->standardPixmap(QStyle::SP_DirOpenIcon), QIcon::Selected);
    auto* root = new QTreeWidgetItem(TreeView, {ToQt(state.scanStamp)});
    root->setIcon(0, folder);
    root->setData(0, kNodeIndexRole, 0);
    int index = 1;
    for (std::size_t i = 0; i < state.result.media.size(); ++i, ++index) {
        auto* node = new QTreeWidgetItem(root, {QString::number(i + 1)});
        node->setIcon(0, folder);
        node->setData(0, kNodeIndexRole, index);
    }
    auto* rest = new QTreeWidgetItem(TreeView, {QTr("残り")});
    rest->setIcon(0, folder);
    rest->setData(0, kNodeIndexRole, index);
    TreeView->expandAll();
    TreeView->setCurrentItem(root);
}

void TMainForm::TreeViewChange() {
    listModel_->Show(ResultListModel::Mode::Empty);
    ListView->header()->setHidden(false);
    QList<QTreeWidgetItem*> selected = TreeView->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const int i = selected.front()->data(0, kNodeIndexRole).toInt();
    const int n = static_cast<int>(state.result.media.size());
    QHeaderView* header = ListView->header();
    if (i == 0) {
        listModel_->Show(ResultListModel::Mode::Summary);
        SizeSummaryColumns();
        return;
    }
    if (i <= n) {
        BuildFileList(state.result.media[static_cast<std::size_t>(i - 1)], state.fileList);
    } else {
        BuildFileList(state.result.remainder, state.fileList);
    }
    listModel_->Show(ResultListModel::Mode::Files);
    header->resizeSection(0, std::max(ListView->viewport()->width() - Px(100), 0));
    header->resizeSection(1, Px(84));
}

void TMainForm::SizeSummaryColumns() {
    // The design's widths, scaled to the font, are narrowed where the list is too small to show
    // them all, down to what the header and the texts need: "詰め込み率" is the column users look
    // for, and it is the last one.
    static constexpr std::array<int, 4> kDesign = {30, 80, 100, 100};
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
        wanted[c] = std::max(Px(kDesign[c]), least[c]);
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
    // A selection hidden inside a collapsed node would leave its files listed with nothing
    // selected in sight; the collapsed node takes the selection, and the list follows it.
    const QTreeWidgetItem* current = TreeView->currentItem();
    for (const QTreeWidgetItem* p = current != nullptr ? current->parent() : nullptr; p != nullptr;
         p = p->parent()) {
        if (p == item) {
            TreeView->setCurrentItem(item);
            return;
        }
    }
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainForm::FormResize() {
    if (Closing || listModel_ == nullptr || listModel_->CurrentMode() != ResultListModel::Mode::Files) {
        return;
    }
    ListView->header()->resizeSection(0, std::max(ListView->viewport()->width() - Px(100), 0));
}

int TMainForm::Px(int designPixels) const {
    // The widths were laid out for a font whose digits are 6 pixels wide; larger fonts and screens
    // widen the columns in proportion, so sizes are never cut off.
    const double digit = ListView->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    return static_cast<int>(designPixels * std::max(1.0, digit / 6.0) + 0.5);
}

void TMainForm::PrepareMediaDialog(TMediaDialog& dialog, bool addMode) {
    dialog.AddMode = addMode;
    dialog.selectedIndex = ComboBox->currentIndex();
    for (const auto& entry : settings.profiles) {
        dialog.profileNames.push_back(entry.name);
    }
    dialog.nameProblem = [this, addMode](const std::string& name) {
        return ProfileNameProblem(
            name, settings.profiles,
            addMode ? ProfileList::npos : static_cast<std::size_t>(ComboBox->currentIndex()));
    };
    dialog.probe = [this](TMediaDialog& d) {
        MediaProbeView view(d);
        ProbeBlankMedia(view, services_.makeTransport, (settings.Options & OptionFlags::ReadAtip) != 0);
    };
    dialog.SetSlackEnabled((settings.Options & OptionFlags::UseSlack) != 0);
}

void TMainForm::ButtonEdtClick() {
    const int i = ComboBox->currentIndex();
    if (i < 0)
        return;
    auto& entry = settings.profiles[static_cast<std::size_t>(i)];
    TMediaDialog dialog(*prompter_, this);
    PrepareMediaDialog(dialog, false);
    dialog.EditName->setText(ToQt(entry.name));
    dialog.EditCluster->value = entry.profile->Cluster;
    dialog.EditTotal->value = entry.profile->Total;
    dialog.EditSystem->value = entry.profile->System;
    dialog.EditSlack->value = entry.profile->Slack;
    dialog.SetFileSystem(entry.profile->fileSystem);
    if (dialog.exec() == QDialog::Accepted) {
        *entry.profile = {dialog.EditCluster->value, dialog.EditTotal->value, dialog.EditSystem->value,
                          dialog.EditSlack->value, dialog.fileSystem()};
        entry.name = FromQt(dialog.EditName->text());
        ComboBox->setItemText(i, dialog.EditName->text());
    }
}

void TMainForm::ButtonAddClick() {
    TMediaDialog dialog(*prompter_, this);
    PrepareMediaDialog(dialog, true);
    dialog.EditCluster->value = 2048;
    dialog.EditTotal->value = 0;
    dialog.EditSystem->value = settings.DefaultSystem;
    dialog.EditSlack->value = settings.DefaultSlack;
    dialog.SetFileSystem(FileSystem::Iso9660);  // a new disc type packs discs that fit
    if (dialog.exec() == QDialog::Accepted) {
        settings.profiles.Append(FromQt(dialog.EditName->text()),
                                 {dialog.EditCluster->value, dialog.EditTotal->value,
                                  dialog.EditSystem->value, dialog.EditSlack->value, dialog.fileSystem()});
        ComboBox->addItem(dialog.EditName->text());
        ComboBox->setCurrentIndex(ComboBox->count() - 1);
        ComboBoxChange();
    }
}

void TMainForm::ButtonDelClick() {
    if (settings.profiles.size() < 2) {
        prompter_->Ask(Tr("最低でも１つのメディア情報が必要です"), "", MessageIcon::Exclamation,
                       MessageButtons::Ok);
        return;
    }
    const int i = ComboBox->currentIndex();
    if (i < 0)
        return;
    const std::string name = settings.profiles[static_cast<std::size_t>(i)].name;
    if (prompter_->Ask(Tr("このメディア情報を削除してよいですか？"), name, MessageIcon::Exclamation,
                       MessageButtons::YesNo) != MessageAnswer::Yes) {
        return;
    }
    // The entry before the deleted one, or the one after it when the first goes.
    ComboBox->setCurrentIndex(i == 0 ? 1 : i - 1);
    settings.profiles.Remove(static_cast<std::size_t>(i));
    ComboBox->removeItem(i);
    ComboBoxChange();
}

void TMainForm::MenuOptClick() {
    TOptDialog dialog(*prompter_, this);
    dialog.EditMin->setText(QString::number(settings.MinSize));
    auto checks = dialog.Checks();
    for (std::size_t b = 0; b < checks.size(); ++b) {
        checks[b]->setChecked((settings.Options & kOptionDialogBits[b]) != 0);
    }
    if (dialog.exec() == QDialog::Accepted) {
        settings.MinSize = dialog.EditMin->value;
        std::array<bool, 6> checked{};
        for (std::size_t b = 0; b < checks.size(); ++b) {
            checked[b] = checks[b]->isChecked();
        }
        const std::int32_t before = settings.Options;
        settings.Options = ApplyOptionChecks(settings.Options, checked);
        // The discs were packed with room for their index files, or without it: a result packed
        // under the other choice would not fit what the move now puts onto them.
        if (((before ^ settings.Options) & OptionFlags::WriteIndex) != 0 && state.HasResult()) {
            ClearResults();
        }
    }
}

void TMainForm::ButtonGroupClick() {
    TGroupDialog dialog(this);
    dialog.SetItemIndex(GroupItemOf(settings.Options));
    if (dialog.exec() == QDialog::Accepted) {
        settings.Options = ApplyGroupItem(settings.Options, dialog.ItemIndex());
    }
}

}  // namespace stowra
