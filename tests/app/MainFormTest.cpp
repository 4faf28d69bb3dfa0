#include <gtest/gtest.h>

#include <QDropEvent>
#include <QFontInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QRawFont>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/InterfaceFont.h"
#include "app/MoveProgressDialog.h"
#include "app/QtTranslations.h"
#include "app/TMainForm.h"
#include "dialogs/BusyCursor.h"
#include "dialogs/TGetDialog.h"
#include "dialogs/TGroupDialog.h"
#include "dialogs/TMediaDialog.h"
#include "dialogs/TOptDialog.h"
#include "drive/SPTI.h"
#include "support/EmulatedDrive.h"
#include "support/Modal.h"
#include "support/Recorders.h"
#include "support/TempTree.h"
#include "support/WorkedExample.h"

namespace stowra {
namespace {

bool IsYellow(const QLineEdit* e) {
    return e->palette().color(QPalette::Base) == QColor(255, 255, 0);
}

// A window over a settings file in a temporary folder, with scripted messages and folder choice.
struct Fixture {
    test::TempTree dir;
    test::ScriptedPrompter prompter;
    bool realBoxes = false;     // the window's own message boxes instead of scripted answers
    std::string chosenFolder;   // what the folder browser returns, as bytes
    QStringList browserStarts;  // where each browser opened
    std::unique_ptr<TMainForm> form;

    void Open() {
        UseInterfaceFont();
        TMainForm::Services s;
        s.settingsPath = dir.Path("stowra.ini");
        s.prompter = realBoxes ? nullptr : &prompter;
        s.selectFolder = [this](const QString&, const QString& start) {
            browserStarts << start;
            return ToQt(chosenFolder);
        };
        form = std::make_unique<TMainForm>(std::move(s));
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void Close() {
        form->close();
        form.reset();
    }
    QStringList Row(int row) { return form->ListModel().ListViewData(row); }
    // Selects the tree node with the given absolute index (root 0, media, then the remainder).
    void Select(int absoluteIndex) {
        QTreeWidgetItem* root = form->TreeView->topLevelItem(0);
        int media = root->childCount();
        QTreeWidgetItem* item = absoluteIndex == 0       ? root
                                : absoluteIndex <= media ? root->child(absoluteIndex - 1)
                                                         : form->TreeView->topLevelItem(1);
        form->TreeView->setCurrentItem(item);
    }
};

// Picks an entry from the profile selector's list with the keyboard, as a user does.
void PickProfile(QComboBox* box, int index) {
    box->showPopup();
    QAbstractItemView* list = box->view();
    for (int i = box->currentIndex(); i < index; ++i) QTest::keyClick(list, Qt::Key_Down);
    for (int i = box->currentIndex(); i > index; --i) QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
}

// Queues a click as the window system queues one that comes while the program is busy.
void QueueClick(QWidget* w) {
    const QPointF at = QRectF(w->rect()).center();
    const QPointF global = w->mapToGlobal(at);
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                   Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                   Qt::NoButton, Qt::NoModifier));
}

// Watches the window during a scan: what the tree holds each time it is painted while the log
// shows the scan's first line, and an action run once at that moment.
struct ScanWatch : QObject {
    TMainForm& w;
    std::vector<int> treePaints;  // the tree's items at each paint
    QRegion treePainted;          // what those paints covered together
    std::function<void()> duringScan;

    explicit ScanWatch(TMainForm& form) : w(form) {
        w.RichEdit->viewport()->installEventFilter(this);
        w.TreeView->viewport()->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint &&
            w.RichEdit->toPlainText().startsWith(QStringLiteral("ファイル情報を収集"))) {
            if (o == w.TreeView->viewport()) {
                treePaints.push_back(w.TreeView->topLevelItemCount());
                treePainted += static_cast<QPaintEvent*>(e)->region();
            }
            if (duringScan)
                std::exchange(duringScan, nullptr)();
        }
        return false;
    }
};

// Answers every message box the window shows, noting what the user sees while it waits.
struct BoxWatch {
    struct Seen {
        QString text;
        int cursor;  // the application's cursor shape, -1 for none
        bool progressShowing;
    };
    std::vector<Seen> seen;
    std::deque<QMessageBox::StandardButton> answers;  // OK when they run out
    QTimer timer;

    BoxWatch() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible())
                return;
            bool progress = false;
            for (QWidget* t : QApplication::topLevelWidgets()) {
                progress = progress || (qobject_cast<QProgressDialog*>(t) != nullptr && t->isVisible());
            }
            const QCursor* c = QApplication::overrideCursor();
            seen.push_back({box->text(), c != nullptr ? int(c->shape()) : -1, progress});
            QMessageBox::StandardButton b = QMessageBox::Ok;
            if (!answers.empty())
                b = answers.front(), answers.pop_front();
            QTest::mouseClick(box->button(b), Qt::LeftButton);
        });
        timer.start(5);
    }
};

// Every summary column lies within the list's visible width and is wide enough for its header
// and its texts.
void ExpectSummaryVisible(TMainForm& w) {
    QHeaderView* h = w.ListView->header();
    ASSERT_EQ(h->count(), 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_LE(h->sectionViewportPosition(c) + h->sectionSize(c), w.ListView->viewport()->width()) << c;
        EXPECT_GE(h->sectionSize(c), h->sectionSizeHint(c)) << c;
        for (int r = 0; r < w.ListModel().rowCount(); ++r) {
            EXPECT_GT(h->sectionSize(c),
                      w.ListView->fontMetrics().horizontalAdvance(w.ListModel().ListViewData(r)[c]));
        }
    }
}

// Both columns of a file list lie within the list's visible width, every name and size fits its
// column, and together they fill most of the width.
void ExpectFilesVisible(TMainForm& w) {
    QHeaderView* h = w.ListView->header();
    ASSERT_EQ(h->count(), 2);
    const int width = w.ListView->viewport()->width();
    EXPECT_LE(h->sectionViewportPosition(1) + h->sectionSize(1), width);
    EXPECT_GE(h->sectionViewportPosition(1) + h->sectionSize(1), width - width / 8);
    for (int r = 0; r < w.ListModel().rowCount(); ++r) {
        for (int c = 0; c < 2; ++c) {
            EXPECT_GT(h->sectionSize(c),
                      w.ListView->fontMetrics().horizontalAdvance(w.ListModel().ListViewData(r)[c]))
                << r << " " << c;
        }
    }
}

// The worked example: eight files and a profile of 100 sectors with 10 for the file system.
void WriteExample(Fixture& f) {
    test::WriteExampleFiles(f.dir, "src");
    f.dir.Folder("out");
    f.dir.Write("stowra.ini", "[Stowra]\r\nOption=1\r\nMedia=0\r\nSrcFolder=" + f.dir.Path("src") +
                                  "\r\nDstFolder=" + f.dir.Path("out") +
                                  "\r\n[Example]\r\nCluster=2048\r\nTotal=100\r\nSystem=10\r\nSlack=4\r\n"
                                  "[Other]\r\nCluster=2048\r\nTotal=1000\r\nSystem=10\r\nSlack=4\r\n");
}

TEST(TMainForm, FirstStartWithoutSettings) {
    Fixture f;
    f.Open();
    TMainForm& w = *f.form;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Stowra (Ver 1.0)"));
    EXPECT_EQ(w.size(), QSize(512, 512));
    EXPECT_EQ(w.ComboBox->currentText(), QStringLiteral("CD-R 700MiB"));
    EXPECT_EQ(w.ComboBox->count(), 2);
    EXPECT_TRUE(IsYellow(w.EditSrc));
    EXPECT_TRUE(IsYellow(w.EditDst));
    EXPECT_FALSE(w.ButtonMove->isEnabled());
    EXPECT_TRUE(w.ListView->header()->isHidden());
    EXPECT_EQ(w.model.settings.Options, 1);
    EXPECT_EQ(w.MenuOpt->text(), QStringLiteral("オプション(&O)"));
    EXPECT_EQ(QFontInfo(w.RichEdit->font()).family(), QStringLiteral("Noto Sans CJK JP"));
    // Qt's own buttons speak the program's language: Japanese from Qt's catalog, English as they are.
    const std::unique_ptr<QTranslator> qtTexts = QtTranslations(Language::Japanese);
    ASSERT_NE(qtTexts, nullptr) << "scripts/setup.sh installs qt6-translations-l10n";
    EXPECT_EQ(qtTexts->translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
    EXPECT_EQ(QtTranslations(Language::English), nullptr);

    QTest::keyClicks(w.EditSrc, QStringLiteral("x"));
    EXPECT_FALSE(IsYellow(w.EditSrc));
    QTest::keyClick(w.EditSrc, Qt::Key_Backspace);
    EXPECT_TRUE(IsYellow(w.EditSrc));
}

TEST(TMainForm, ScanShowsTheWorkedExample) {
    Fixture f;
    WriteExample(f);
    f.Open();
    TMainForm& w = *f.form;
    ASSERT_EQ(w.ComboBox->currentText(), QStringLiteral("Example"));
    w.ButtonScan->click();
    ASSERT_TRUE(w.ButtonMove->isEnabled());
    EXPECT_TRUE(w.ButtonScan->isEnabled());
    EXPECT_FALSE(w.ListView->header()->isHidden());

    ASSERT_EQ(w.TreeView->topLevelItemCount(), 2);
    EXPECT_EQ(w.TreeView->topLevelItem(0)->text(0).size(), 15);
    EXPECT_EQ(w.TreeView->topLevelItem(0)->childCount(), 2);
    EXPECT_EQ(w.TreeView->topLevelItem(1)->text(0), QStringLiteral("残り"));

    EXPECT_EQ(w.ListModel().rowCount(), 2);
    EXPECT_EQ(f.Row(0), (QStringList{"1", "2", "200.0000 KiB", "100.0000 %"}));
    EXPECT_EQ(f.Row(1), (QStringList{"2", "3", "194.0000 KiB", "97.0000 %"}));
    ASSERT_EQ(w.size(), QSize(512, 512));
    ExpectSummaryVisible(w);

    // The columns' order is fixed: dragging the fill ratio's header onto the file count's moves
    // nothing.
    QHeaderView* header = w.ListView->header();
    const QPoint from(header->sectionViewportPosition(3) + header->sectionSize(3) / 2, header->height() / 2);
    const QPoint to(header->sectionViewportPosition(1) + 4, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(header->viewport(), (from + to) / 2);
    QTest::mouseMove(header->viewport(), to);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, to);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(header->visualIndex(c), c);

    f.Select(2);
    ASSERT_EQ(w.ListModel().rowCount(), 3);
    EXPECT_EQ(f.Row(0), (QStringList{"s45.bin", "90.0000 KiB"}));
    EXPECT_EQ(f.Row(1), (QStringList{"s30.bin", "60.0000 KiB"}));
    EXPECT_EQ(f.Row(2), (QStringList{"s12.bin", "24.0000 KiB"}));
    EXPECT_EQ(w.ListModel().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("ファイル名"));
    ExpectFilesVisible(w);
    // A long path gives way in the middle, so its file name stays in sight; hovering shows it whole.
    EXPECT_EQ(w.ListView->textElideMode(), Qt::ElideMiddle);
    EXPECT_EQ(w.ListModel().data(w.ListModel().index(0, 0), Qt::ToolTipRole).toString(),
              QStringLiteral("s45.bin"));
    const int nameWidth = header->sectionSize(0), listWidth = w.ListView->viewport()->width();

    f.Select(3);
    ASSERT_EQ(w.ListModel().rowCount(), 3);
    EXPECT_EQ(f.Row(0)[1], QStringLiteral("190.0000 KiB"));
    EXPECT_EQ(f.Row(1)[1], QStringLiteral("40.0000 KiB"));
    EXPECT_EQ(f.Row(2)[1], QStringLiteral("16.0000 KiB"));

    // The file-name column follows the window's width; the summary's widths never change.
    w.resize(700, 512);
    ExpectFilesVisible(w);
    EXPECT_EQ(header->sectionSize(0) - nameWidth, w.ListView->viewport()->width() - listWidth);
    f.Select(0);
    ExpectSummaryVisible(w);
    const int fill = header->sectionSize(3);
    w.resize(600, 500);
    EXPECT_EQ(header->sectionSize(3), fill);

    // Collapsing the root hides a selected medium: the root takes the selection, and the list
    // shows the summary instead of the hidden medium's files.
    QTreeWidgetItem* root = w.TreeView->topLevelItem(0);
    QTest::mouseClick(w.TreeView->viewport(), Qt::LeftButton, {},
                      w.TreeView->visualItemRect(root->child(1)).center());
    ASSERT_EQ(w.TreeView->currentItem(), root->child(1));
    ASSERT_EQ(w.ListModel().CurrentMode(), ResultListModel::Mode::Files);
    const QRect rootRect = w.TreeView->visualItemRect(root);
    QTest::mouseClick(w.TreeView->viewport(), Qt::LeftButton, {},
                      QPoint(rootRect.left() - w.TreeView->indentation() / 2, rootRect.center().y()));
    ASSERT_FALSE(root->isExpanded());
    EXPECT_EQ(w.TreeView->currentItem(), root);
    EXPECT_TRUE(root->isSelected());
    EXPECT_EQ(w.ListModel().CurrentMode(), ResultListModel::Mode::Summary);
    EXPECT_EQ(w.ListModel().rowCount(), 2);
}

TEST(TMainForm, LogColours) {
    Fixture f;
    WriteExample(f);
    f.Open();
    f.form->ButtonScan->click();
    QTextDocument* doc = f.form->RichEdit->document();
    EXPECT_EQ(doc->blockCount(), 8);  // the last three: the toy discs could not hold a file system
    EXPECT_EQ(doc->findBlockByNumber(0).text(),
              QStringLiteral("対象ファイル数 = 8 （サイズ = 600.0000 KiB）"));
    auto colourAt = [&](int block, int offset) {
        QTextCursor c(doc->findBlockByNumber(block));
        c.setPosition(doc->findBlockByNumber(block).position() + offset + 1);
        return c.charFormat().foreground().color();
    };
    EXPECT_EQ(colourAt(2, 12), QColor(255, 0, 0));  // the number of media
    EXPECT_EQ(colourAt(3, 10), QColor(255, 0, 0));  // the average
    EXPECT_EQ(colourAt(4, 2), QColor(0, 0, 255));   // the hint
    EXPECT_NE(colourAt(1, 2), QColor(255, 0, 0));
    // One font draws the whole line, Japanese, Latin and full-width brackets alike.
    const QRawFont font = QRawFont::fromFont(f.form->RichEdit->font());
    for (QChar c : doc->findBlockByNumber(0).text())
        EXPECT_TRUE(font.supportsCharacter(c)) << int(c.unicode());
}

TEST(TMainForm, WhatClearsTheResultsAndWhatKeepsThem) {
    Fixture f;
    WriteExample(f);
    f.dir.Folder("elsewhere");
    f.Open();
    TMainForm& w = *f.form;
    auto scan = [&] {
        w.ButtonScan->click();
        ASSERT_TRUE(w.ButtonMove->isEnabled());
    };
    scan();
    QTest::keyClicks(w.EditSrc, QStringLiteral("z"));
    EXPECT_TRUE(w.ButtonMove->isEnabled());
    EXPECT_TRUE(w.EditSrc->DropPaths({f.dir.Path("elsewhere")}));
    EXPECT_TRUE(w.ButtonMove->isEnabled());
    f.chosenFolder = f.dir.Path("elsewhere");
    w.ButtonDst->click();
    EXPECT_EQ(w.EditDst->text().toStdString(), f.dir.Path("elsewhere"));
    EXPECT_TRUE(w.ButtonMove->isEnabled());

    test::WhenModal<TGroupDialog>([](TGroupDialog& d) {
        d.SetItemIndex(2);
        d.ButtonOk->click();
    });
    w.ButtonGroup->click();
    EXPECT_EQ(w.model.settings.Options & 0x88, 0x80);
    EXPECT_TRUE(w.ButtonMove->isEnabled());

    // Cancelling the folder browser changes nothing; choosing a source folder clears.
    f.chosenFolder.clear();
    w.ButtonSrc->click();
    EXPECT_TRUE(w.ButtonMove->isEnabled());
    f.chosenFolder = f.dir.Path("src");
    w.ButtonSrc->click();
    EXPECT_FALSE(w.ButtonMove->isEnabled());
    EXPECT_EQ(w.TreeView->topLevelItemCount(), 0);
    EXPECT_TRUE(w.RichEdit->toPlainText().isEmpty());

    // Picking the current profile again keeps the results; another one clears them.
    scan();
    PickProfile(w.ComboBox, 0);
    EXPECT_TRUE(w.ButtonMove->isEnabled());
    EXPECT_EQ(w.TreeView->topLevelItemCount(), 2);
    PickProfile(w.ComboBox, 1);
    EXPECT_EQ(w.ComboBox->currentText(), QStringLiteral("Other"));
    EXPECT_FALSE(w.ButtonMove->isEnabled());
    EXPECT_EQ(w.TreeView->topLevelItemCount(), 0);
}

TEST(TMainForm, DroppedPaths) {
    Fixture f;
    f.dir.Folder("a");
    f.dir.Folder("b");
    f.dir.File("file.txt", 3);
    const std::string odd = "odd\xff";  // not valid UTF-8
    f.dir.File(odd + "/photo.jpg", 5000);
    f.Open();
    FolderEdit* e = f.form->EditDst;
    EXPECT_TRUE(e->DropPaths({f.dir.Path("a"), f.dir.Path("b")}));
    EXPECT_EQ(e->text().toStdString(), f.dir.Path("a"));
    EXPECT_FALSE(e->DropPaths({f.dir.Path("file.txt")}));
    EXPECT_FALSE(e->DropPaths({f.dir.Path("missing")}));
    EXPECT_EQ(e->text().toStdString(), f.dir.Path("a"));
    EXPECT_FALSE(IsYellow(e));

    // Drops as a file manager sends them: the first local path of the list counts, taken byte
    // for byte from the list's percent-encoding.
    auto drop = [&](QMimeData& mime) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.form->EditSrc, &enter);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.form->EditSrc, &event);
    };
    auto encoded = [&](const std::string& relative) {
        return QByteArray::fromStdString(f.dir.Path(relative)).toPercentEncoding("/");
    };
    QMimeData urls;
    urls.setUrls({QUrl::fromLocalFile(QString::fromStdString(f.dir.Path("b"))),
                  QUrl::fromLocalFile(QString::fromStdString(f.dir.Path("a")))});
    drop(urls);
    EXPECT_EQ(f.form->EditSrc->NativeText(), f.dir.Path("b"));
    const struct {
        QByteArray list;
        std::string shown;  // relative to the temporary folder
    } drops[] = {
        {"file://" + encoded("file.txt") + "\r\n", "b"},
        {"file://localhost" + encoded("a") + "\r\n", "a"},
        {"file://elsewhere.example" + encoded("b") + "\r\n", "a"},
        {"# from a file manager\r\nhttp://example.com/b\r\nfile:" + encoded("b") + "\r\n", "b"},
        {"file://" + encoded("a") + "%00\r\n", "b"},
        {"file://" + encoded(odd) + "\r\nfile://" + encoded("a") + "\r\n", odd},
    };
    for (const auto& d : drops) {
        QMimeData mime;
        mime.setData(QStringLiteral("text/uri-list"), d.list);
        drop(mime);
        EXPECT_EQ(f.form->EditSrc->NativeText(), f.dir.Path(d.shown)) << d.list.toStdString();
    }

    // The folder of the odd name is the one scanned and the one the settings keep.
    QTest::mouseClick(f.form->ButtonScan, Qt::LeftButton);
    EXPECT_TRUE(f.prompter.asked.empty());
    EXPECT_TRUE(f.form->RichEdit->toPlainText().startsWith(QStringLiteral("対象ファイル数 = 1 ")));
    f.Close();
    EXPECT_NE(f.dir.Read("stowra.ini").find("SrcFolder=" + f.dir.Path(odd) + "\r\n"), std::string::npos);
}

TEST(TMainForm, FolderBrowser) {
    Fixture f;
    const std::string odd = "odd\xff";
    f.dir.Folder("a");
    f.dir.Folder(odd);
    f.Open();
    TMainForm& w = *f.form;
    // The browser opens at the field's folder, when it can show its name.
    w.EditSrc->SetNativeText(f.dir.Path("a"));
    QTest::mouseClick(w.ButtonSrc, Qt::LeftButton);
    w.EditDst->SetNativeText(f.dir.Path(odd));
    QTest::mouseClick(w.ButtonDst, Qt::LeftButton);
    EXPECT_EQ(f.browserStarts, (QStringList{QString::fromStdString(f.dir.Path("a")), QString()}));

    // A name the browser hands over as text with its bytes lost is refused, not replaced.
    f.chosenFolder = f.dir.Path(odd);
    QTest::mouseClick(w.ButtonSrc, Qt::LeftButton);
    ASSERT_EQ(f.prompter.asked.size(), 1u);
    EXPECT_EQ(f.prompter.asked[0].text,
              "フォルダ名に文字として読めないバイトが含まれているため、ここでは選択できません\n"
              "（フォルダを入力欄へドロップすると指定できます）");
    EXPECT_EQ(w.EditSrc->NativeText(), f.dir.Path("a"));
}

TEST(TMainForm, AScanHoldsTheWindowAndPaintsTheEmptiedTree) {
    Fixture f;
    WriteExample(f);
    for (int i = 0; i < 2000; ++i) {
        f.dir.File("src/tree/" + std::to_string(i % 40) + "/f" + std::to_string(i), 100);
    }
    f.Open();
    TMainForm& w = *f.form;
    int scans = 0;
    int moves = 0;
    QObject::connect(w.ButtonScan, &QPushButton::clicked, [&] { ++scans; });
    QObject::connect(w.ButtonMove, &QPushButton::clicked, [&] { ++moves; });
    const int profiles = w.ComboBox->count();
    // Clicks made during the scan start nothing once it is over.
    ScanWatch first(w);
    first.duringScan = [&] {
        for (QPushButton* b : {w.ButtonScan, w.ButtonScan, w.ButtonScan, w.ButtonMove, w.ButtonDel})
            QueueClick(b);
    };
    QTest::mouseClick(w.ButtonScan, Qt::LeftButton);
    QTest::qWait(20);
    EXPECT_EQ(scans, 1);
    EXPECT_EQ(moves, 0);
    EXPECT_TRUE(f.prompter.asked.empty());  // neither the move's nor the deletion's question
    EXPECT_EQ(w.ComboBox->count(), profiles);
    ASSERT_TRUE(w.ButtonMove->isEnabled());

    // The next scan paints the emptied tree with its first line, whole: not only the rows that
    // changed, so no row of the previous result stays on the screen.
    ScanWatch second(w);
    QTest::mouseClick(w.ButtonScan, Qt::LeftButton);
    EXPECT_EQ(scans, 2);
    EXPECT_TRUE(QRegion(w.TreeView->viewport()->rect()).subtracted(second.treePainted).isEmpty());
    for (int items : second.treePaints) EXPECT_EQ(items, 0);
    EXPECT_EQ(w.TreeView->topLevelItemCount(), 2);

    // Escape, the one key the held window still takes, stops a scan: nothing is left of it.
    ScanWatch third(w);
    third.duringScan = [&] {
        QCoreApplication::postEvent(w.ButtonScan,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    };
    QTest::mouseClick(w.ButtonScan, Qt::LeftButton);
    EXPECT_EQ(scans, 3);
    EXPECT_TRUE(w.RichEdit->toPlainText().startsWith(QStringLiteral("ファイル情報の収集を中止しました")));
    EXPECT_EQ(w.TreeView->topLevelItemCount(), 0);
    EXPECT_FALSE(w.ButtonMove->isEnabled());
    EXPECT_TRUE(w.ButtonScan->isEnabled());
}

TEST(TMainForm, QuestionsShowTheNormalCursorAndTheMoveClosesItsProgressFirst) {
    Fixture f;
    WriteExample(f);
    f.realBoxes = true;
    f.Open();
    TMainForm& w = *f.form;
    BoxWatch boxes;
    w.EditSrc->SetNativeText(f.dir.Path("missing"));
    QTest::mouseClick(w.ButtonScan, Qt::LeftButton);
    w.EditSrc->SetNativeText(f.dir.Path("src"));
    QTest::mouseClick(w.ButtonScan, Qt::LeftButton);
    // The move asks before replacing a file that someone puts into its disc folder while it runs;
    // Cancel there stops it before its last file.
    std::string planted;
    auto move = [&](QMessageBox::StandardButton replace) {
        ASSERT_TRUE(w.ButtonMove->isEnabled());
        f.dir.Folder("out");
        std::set<std::string> before;
        for (const auto& e : std::filesystem::directory_iterator(f.dir.Path("out"))) {
            before.insert(e.path().filename().string());
        }
        QTimer plant;
        QObject::connect(&plant, &QTimer::timeout, [&] {
            for (const auto& e : std::filesystem::directory_iterator(f.dir.Path("out"))) {
                std::string name = e.path().filename().string();
                if (!before.contains(name) && planted.find(name) == std::string::npos) {
                    planted = "out/" + name + "/1/s50.bin";
                    f.dir.File(planted, 1);
                }
            }
        });
        plant.start(0);
        boxes.answers = {QMessageBox::Ok, replace, QMessageBox::Ok};
        QTest::mouseClick(w.ButtonMove, Qt::LeftButton);
    };
    move(QMessageBox::Cancel);
    QTest::mouseClick(w.ButtonScan, Qt::LeftButton);
    move(QMessageBox::Yes);

    const struct {
        const char* text;
        bool progressShowing;
    } expected[] = {
        {"入力フォルダが見つかりません", false},
        {"対象ファイルを移動してよいですか？", false},
        {"移動先には同じ名前のファイルが既にあります。", true},  // over the running operation
        {"移動が途中でキャンセルされました", false},             // after it
        {"対象ファイルを移動してよいですか？", false},
        {"移動先には同じ名前のファイルが既にあります。", true},
        {"対象ファイルを移動しました", false},
    };
    ASSERT_EQ(boxes.seen.size(), std::size(expected));
    for (std::size_t i = 0; i < boxes.seen.size(); ++i) {
        EXPECT_TRUE(boxes.seen[i].text.startsWith(QString::fromUtf8(expected[i].text))) << i;
        EXPECT_EQ(boxes.seen[i].cursor, Qt::ArrowCursor) << i;
        EXPECT_EQ(boxes.seen[i].progressShowing, expected[i].progressShowing) << i;
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(f.dir.Read(planted).size(), 50u * 2048);
}

TEST(TMainForm, MoveProgressShowsTheNormalCursorOverItsCancel) {
    QWidget owner;
    test::ScriptedPrompter prompter;
    BusyCursor busy;
    MoveProgressDialog progress(&owner, prompter);
    progress.Progress({0, 0, 3, 0, 0});
    ASSERT_NE(progress.Dialog(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
    QTest::mouseClick(progress.Dialog()->findChild<QPushButton*>(), Qt::LeftButton);
    EXPECT_FALSE(progress.Progress({1, 0, 3, 0, 0}));
    EXPECT_EQ(progress.Dialog(), nullptr);  // the operation is over: nothing left to cancel
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
}

TEST(TMainForm, EscapeUndoesOnceAndEnterIsSwallowed) {
    Fixture f;
    f.Open();
    FolderEdit* e = f.form->EditSrc;
    e->setFocus();
    QTest::keyClicks(e, QStringLiteral("/data"));
    QTest::keyClick(e, Qt::Key_Escape);
    QString once = e->text();
    EXPECT_NE(once, QStringLiteral("/data"));
    QTest::keyClick(e, Qt::Key_Escape);
    EXPECT_EQ(e->text(), once);
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_TRUE(f.prompter.asked.empty());
}

TEST(TMainForm, DeletingProfilesMovesTheSelection) {
    Fixture f;
    f.dir.Write("stowra.ini",
                "[Stowra]\r\nMedia=0\r\n[A]\r\n[B]\r\n[C]\r\n[CD-R 700MiB]\r\n[DVD-R 4.7GB(4.38GiB)]\r\n");
    f.Open();
    TMainForm& w = *f.form;
    ASSERT_EQ(w.ComboBox->count(), 5);
    w.ButtonDel->click();  // the first: the former second is selected
    EXPECT_EQ(w.ComboBox->currentText(), QStringLiteral("B"));
    EXPECT_EQ(f.prompter.asked.back().caption, "A");
    EXPECT_EQ(f.prompter.asked.back().text, "このメディア情報を削除してよいですか？");
    w.ComboBox->setCurrentIndex(2);  // CD-R, the third
    w.ButtonDel->click();
    EXPECT_EQ(w.ComboBox->currentText(), QStringLiteral("C"));
    f.prompter.answers = {MessageAnswer::No};
    w.ButtonDel->click();
    EXPECT_EQ(w.ComboBox->count(), 3);
    w.ButtonDel->click();
    w.ButtonDel->click();
    ASSERT_EQ(w.ComboBox->count(), 1);
    w.ButtonDel->click();
    EXPECT_EQ(w.ComboBox->count(), 1);
    EXPECT_EQ(f.prompter.asked.back().text, "最低でも１つのメディア情報が必要です");
    EXPECT_EQ(w.model.settings.profiles.size(), 1u);
}

TEST(TMainForm, AddAndEditProfiles) {
    Fixture f;
    WriteExample(f);
    f.Open();
    TMainForm& w = *f.form;
    w.ButtonScan->click();
    ASSERT_TRUE(w.ButtonMove->isEnabled());

    // Editing keeps the results.
    test::WhenModal<TMediaDialog>([](TMediaDialog& d) {
        EXPECT_EQ(d.EditName->text(), QStringLiteral("Example"));
        EXPECT_EQ(d.EditTotal->text(), QStringLiteral("100"));
        EXPECT_EQ(d.ComboFileSystem->currentText(), QStringLiteral("なし（システムサイズを予約）"));
        EXPECT_FALSE(d.ComboFileSystem->isEditable());
        d.EditName->setText(QStringLiteral("Example 2"));
        d.ComboFileSystem->setFocus();
        QTest::keyClick(d.ComboFileSystem, Qt::Key_End);  // the last choice: UDF
        d.ButtonOkClick();
    });
    w.ButtonEdtClick();
    EXPECT_EQ(w.ComboBox->currentText(), QStringLiteral("Example 2"));
    EXPECT_EQ(w.model.CurrentProfile()->fileSystem, FileSystem::Udf);
    test::WhenModal<TMediaDialog>([](TMediaDialog& d) {
        EXPECT_EQ(d.ComboFileSystem->currentText(), QStringLiteral("UDF"));  // shown as stored
        d.ButtonCancel->click();
    });
    w.ButtonEdtClick();
    EXPECT_TRUE(w.ButtonMove->isEnabled());

    // Adding selects the new entry and clears the results.
    test::WhenModal<TMediaDialog>([](TMediaDialog& d) {
        EXPECT_TRUE(d.form.addMode);
        EXPECT_EQ(d.EditSystem->text(), QStringLiteral("256"));
        d.EditName->setText(QStringLiteral("BD-R 25GB"));
        d.EditTotal->setText(QStringLiteral("12219392"));
        d.EditClusterExit(d.EditTotal);
        d.ButtonOkClick();
    });
    w.ButtonAddClick();
    EXPECT_EQ(w.ComboBox->currentText(), QStringLiteral("BD-R 25GB"));
    EXPECT_EQ(w.model.CurrentProfile()->Total, 12219392);
    EXPECT_EQ(w.model.CurrentProfile()->fileSystem,
              FileSystem::Iso9660);  // a new disc type packs discs that fit
    EXPECT_FALSE(w.ButtonMove->isEnabled());
}

TEST(TMainForm, OptionsDialogBits) {
    Fixture f;
    f.dir.Write("stowra.ini", "[Stowra]\r\nOption=0x10088\r\nMinSize=0\r\n");
    f.Open();
    TMainForm& w = *f.form;
    test::WhenModal<TOptDialog>([](TOptDialog& d) {
        EXPECT_EQ(d.EditMin->text(), QStringLiteral("0"));
        EXPECT_FALSE(d.CheckATIP->isChecked());
        d.CheckSlack->setChecked(true);
        d.CheckHidden->setChecked(true);
        d.EditMin->setText(QStringLiteral("1024"));
        d.ButtonOk->click();
    });
    w.MenuOpt->trigger();
    EXPECT_EQ(w.model.settings.Options, 0x10088 | 0x40 | 0x02);
    EXPECT_EQ(w.model.settings.MinSize, 1024);

    test::WhenModal<TOptDialog>([](TOptDialog& d) {
        d.CheckSlack->setChecked(false);
        d.ButtonCancel->click();
    });
    w.MenuOpt->trigger();
    EXPECT_EQ(w.model.settings.Options, 0x10088 | 0x40 | 0x02);

    // Both grouping bits set: the dialog opens on item 1, and OK clears bit 7.
    test::WhenModal<TGroupDialog>([](TGroupDialog& d) {
        EXPECT_EQ(d.ItemIndex(), 1);
        d.ButtonOk->click();
    });
    w.ButtonGroup->click();
    EXPECT_EQ(w.model.settings.Options, 0x10008 | 0x40 | 0x02);
}

TEST(TMainForm, ChangingTheIndexOptionClearsAResultPackedUnderTheOtherChoice) {
    Fixture f;
    WriteExample(f);
    f.Open();
    TMainForm& w = *f.form;
    w.EditSrc->SetNativeText(f.dir.Path("src"));
    QTest::mouseClick(w.ButtonScan, Qt::LeftButton);
    ASSERT_TRUE(w.model.state.HasResult());
    // Hidden files change the next scan only; the index file changes what goes onto each disc.
    for (bool index : {false, true}) {
        test::WhenModal<TOptDialog>([index](TOptDialog& d) {
            (index ? d.CheckIndex : d.CheckHidden)->toggle();
            d.ButtonOk->click();
        });
        w.MenuOpt->trigger();
        EXPECT_EQ(w.model.state.HasResult(), !index);
        EXPECT_EQ(w.ButtonMove->isEnabled(), !index);
    }
}

TEST(TMainForm, ClosingSavesTheSettings) {
    Fixture f;
    f.Open();
    f.form->EditSrc->setText(QStringLiteral("/data/写真"));
    f.form->ComboBox->setCurrentIndex(1);
    f.form->ComboBoxChange();
    f.Close();
    std::string saved = f.dir.Read("stowra.ini");
    EXPECT_EQ(saved.rfind("[Stowra]\r\n", 0), 0u);
    EXPECT_NE(saved.find("SrcFolder=/data/写真\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Media=1\r\n"), std::string::npos);

    f.Open();
    EXPECT_EQ(f.form->EditSrc->text(), QStringLiteral("/data/写真"));
    EXPECT_EQ(f.form->ComboBox->currentIndex(), 1);
}

TEST(TMainForm, ARefusedSaveIsShownAndTheProgramGoesOn) {
    Fixture f;
    f.dir.File("not-a-folder", 1);
    TMainForm::Services s;
    s.settingsPath = f.dir.Path("not-a-folder/stowra.ini");
    s.prompter = &f.prompter;
    { TMainForm form(std::move(s)); }
    ASSERT_EQ(f.prompter.asked.size(), 2u) << "said at the start, and again when it fails";
    EXPECT_EQ(
        f.prompter.asked.front().text.rfind(f.dir.Path("not-a-folder/stowra.ini") + " に書き込めません", 0),
        0u);
    EXPECT_EQ(f.prompter.asked.back().text, f.dir.Path("not-a-folder/stowra.ini") + " に書き込めません");

    // A folder where the file should be, and the user would rather not go on: no window, no save.
    f.dir.Folder("folder.ini");
    f.prompter.asked.clear();
    f.prompter.answers = {MessageAnswer::No};
    TMainForm::Services refused;
    refused.settingsPath = f.dir.Path("folder.ini");
    refused.prompter = &f.prompter;
    {
        TMainForm form(std::move(refused));
        EXPECT_TRUE(form.StartRefused());
    }
    EXPECT_EQ(f.prompter.asked.size(), 1u);
}

TEST(TMainForm, MoveThroughTheWindow) {
    Fixture f;
    WriteExample(f);
    f.Open();
    TMainForm& w = *f.form;
    w.ButtonScan->click();
    ASSERT_TRUE(w.ButtonMove->isEnabled());
    const std::string stamp = w.model.state.scanStamp;

    // A missing destination refuses the move and keeps the result.
    w.EditDst->setText(QString::fromStdString(f.dir.Path("missing")));
    w.ButtonMove->click();
    EXPECT_EQ(f.prompter.asked.back().text, "出力フォルダが見つかりません");
    EXPECT_TRUE(w.ButtonMove->isEnabled());

    // Declining the confirmation keeps it too.
    w.EditDst->setText(QString::fromStdString(f.dir.Path("out")));
    f.prompter.answers = {MessageAnswer::Cancel};
    w.ButtonMove->click();
    EXPECT_EQ(f.prompter.asked.back().text, "対象ファイルを移動してよいですか？");
    EXPECT_TRUE(w.ButtonMove->isEnabled());

    w.ButtonMove->click();
    EXPECT_EQ(f.prompter.asked.back().text, "対象ファイルを移動しました");
    EXPECT_EQ(f.prompter.asked.back().caption, "メッセージ");
    EXPECT_FALSE(w.ButtonMove->isEnabled());
    EXPECT_EQ(w.TreeView->topLevelItemCount(), 0);
    EXPECT_TRUE(w.centralWidget()->isEnabled());
    EXPECT_TRUE(f.dir.Exists("out/" + stamp + "/1/s50.bin"));
    EXPECT_TRUE(f.dir.Exists("out/" + stamp + "/2/s12.bin"));
    EXPECT_TRUE(f.dir.Exists("src/s95.bin"));
    EXPECT_FALSE(f.dir.Exists("src/s45.bin"));
}

TEST(TMainForm, AutoGetFillsTheMediaDialog) {
    Fixture f;
    auto access = std::make_shared<test::EmulatedDriveAccess>();
    access->drives.push_back(std::make_shared<test::EmulatedDrive>(test::EmulatedDrive::Disc::BlankCdR));
    access->drives.push_back(
        std::make_shared<test::EmulatedDrive>(test::EmulatedDrive::Disc::DvdRSequential));
    TMainForm::Services s;
    s.settingsPath = f.dir.Path("stowra.ini");
    s.prompter = &f.prompter;
    s.makeTransport = [access] { return std::make_unique<SPTI>(access); };
    TMainForm w(std::move(s));
    w.show();

    QStringList lines;
    test::WhenModal<TMediaDialog>([&](TMediaDialog& d) {
        test::WhenModal<TGetDialog>([&](TGetDialog& g) {
            EXPECT_EQ(g.windowTitle(), QStringLiteral("メディアサイズ自動取得"));
            for (int i = 0; i < g.ComboBox->count(); ++i) lines << g.ComboBox->itemText(i);
            EXPECT_EQ(g.ComboBox->currentIndex(), 0);
            g.ComboBox->setCurrentIndex(1);
            g.ButtonOk->click();
        });
        d.ButtonGet->click();
        EXPECT_EQ(d.EditCluster->text(), QStringLiteral("2048"));
        EXPECT_EQ(d.EditName->text(), QStringLiteral("DVD-R / CMC MAG. AM3"));
        EXPECT_EQ(d.EditTotal->text(), QStringLiteral("2298496"));
        EXPECT_EQ(d.EditTotal->value, 2298496);
        EXPECT_EQ(d.EditTotal->toolTip(), QStringLiteral("4.3840 GiB"));
        EXPECT_EQ(d.EditSystem->text(), QStringLiteral("256"));
        d.ButtonOkClick();
    });
    w.ButtonAddClick();
    EXPECT_EQ(lines, (QStringList{"/dev/sr0 QEMU QEMU DVD-ROM 2.5+", "/dev/sr1 QEMU QEMU DVD-ROM 2.5+"}));
    EXPECT_EQ(w.ComboBox->currentText(), QStringLiteral("DVD-R / CMC MAG. AM3"));
    EXPECT_EQ(w.model.CurrentProfile()->Total, 2298496);
    EXPECT_TRUE(f.prompter.asked.empty());
}

TEST(TMainForm, AutoGetWithoutDrivesSaysSo) {
    Fixture f;
    auto access = std::make_shared<test::EmulatedDriveAccess>();
    TMainForm::Services s;
    s.settingsPath = f.dir.Path("stowra.ini");
    s.prompter = &f.prompter;
    s.makeTransport = [access] { return std::make_unique<SPTI>(access); };
    TMainForm w(std::move(s));
    test::WhenModal<TMediaDialog>([&](TMediaDialog& d) {
        d.ButtonGet->click();
        d.ButtonCancel->click();
    });
    w.ButtonAddClick();
    ASSERT_EQ(f.prompter.asked.size(), 1u);
    EXPECT_EQ(f.prompter.asked[0].text, "ドライブがみつかりませんでした");
    EXPECT_EQ(f.prompter.asked[0].icon, MessageIcon::Stop);
    EXPECT_EQ(w.ComboBox->count(), 2);
}

}  // namespace
}  // namespace stowra
