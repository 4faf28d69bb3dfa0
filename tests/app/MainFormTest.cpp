#include <gtest/gtest.h>

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QUrl>
#include <fstream>

#include "app/TMainForm.h"
#include "dialogs/TGetDialog.h"
#include "dialogs/TGroupDialog.h"
#include "dialogs/TMediaDialog.h"
#include "dialogs/TOptDialog.h"
#include "drive/SPTI.h"
#include "support/EmulatedDrive.h"
#include "support/Modal.h"
#include "support/Recorders.h"
#include "support/TempTree.h"

namespace stowra {
namespace {

bool IsYellow(const QLineEdit* e) {
    return e->palette().color(QPalette::Base) == QColor(255, 255, 0);
}

// A window over a settings file in a temporary folder, with scripted messages and folder choice.
struct Fixture {
    test::TempTree dir;
    test::ScriptedPrompter prompter;
    std::string chosenFolder;
    std::unique_ptr<TMainForm> form;

    void Open() {
        TMainForm::Services s;
        s.settingsPath = dir.Path("stowra.ini");
        s.prompter = &prompter;
        s.selectFolder = [this](const std::string&) { return chosenFolder; };
        form = std::make_unique<TMainForm>(std::move(s));
        form->show();
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

// The worked example: eight files and a profile of 100 sectors with 10 for the file system.
void WriteExample(Fixture& f) {
    for (int s : {95, 50, 45, 40, 30, 20, 12, 8}) {
        f.dir.File("src/s" + std::to_string(s) + ".bin", s * 2048ull);
    }
    f.dir.Folder("out");
    f.dir.Write("stowra.ini", "[Stowra]\r\nOption=1\r\nMedia=0\r\nSrcFolder=" + f.dir.Path("src") +
                                  "\r\nDstFolder=" + f.dir.Path("out") +
                                  "\r\n[Example]\r\nCluster=2048\r\nTotal=100\r\nSystem=10\r\nSlack=4\r\n");
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
    EXPECT_EQ(w.settings.Options, 1);
    EXPECT_EQ(w.MenuOpt->text(), QStringLiteral("オプション(&O)"));

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
    EXPECT_EQ(w.ListView->header()->sectionSize(0), w.Px(30));
    EXPECT_EQ(w.ListView->header()->sectionSize(3), w.Px(100));

    f.Select(2);
    ASSERT_EQ(w.ListModel().rowCount(), 3);
    EXPECT_EQ(f.Row(0), (QStringList{"s45.bin", "90.0000 KiB"}));
    EXPECT_EQ(f.Row(1), (QStringList{"s30.bin", "60.0000 KiB"}));
    EXPECT_EQ(f.Row(2), (QStringList{"s12.bin", "24.0000 KiB"}));
    EXPECT_EQ(w.ListModel().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("ファイル名"));
    EXPECT_EQ(w.ListView->header()->sectionSize(1), w.Px(84));
    EXPECT_EQ(w.ListView->header()->sectionSize(0), w.ListView->viewport()->width() - w.Px(100));

    f.Select(3);
    ASSERT_EQ(w.ListModel().rowCount(), 3);
    EXPECT_EQ(f.Row(0)[1], QStringLiteral("190.0000 KiB"));
    EXPECT_EQ(f.Row(1)[1], QStringLiteral("40.0000 KiB"));
    EXPECT_EQ(f.Row(2)[1], QStringLiteral("16.0000 KiB"));

    // The file-name column follows the window's width; the summary's widths never change.
    w.resize(700, 512);
    EXPECT_EQ(w.ListView->header()->sectionSize(0), w.ListView->viewport()->width() - w.Px(100));
    f.Select(0);
    w.resize(600, 500);
    EXPECT_EQ(w.ListView->header()->sectionSize(2), w.Px(100));
}

TEST(TMainForm, LogColours) {
    Fixture f;
    WriteExample(f);
    f.Open();
    f.form->ButtonScan->click();
    QTextDocument* doc = f.form->RichEdit->document();
    EXPECT_EQ(doc->blockCount(), 6);  // the last: the toy discs could not hold a file system
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
    EXPECT_TRUE(w.EditSrc->DropPaths({QString::fromStdString(f.dir.Path("elsewhere"))}));
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
    EXPECT_EQ(w.settings.Options & 0x88, 0x80);
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

    scan();
    w.ComboBox->setCurrentIndex(1);
    w.ComboBoxChange();
    EXPECT_FALSE(w.ButtonMove->isEnabled());
}

TEST(TMainForm, DroppedPaths) {
    Fixture f;
    f.dir.Folder("a");
    f.dir.Folder("b");
    f.dir.File("file.txt", 3);
    f.Open();
    FolderEdit* e = f.form->EditDst;
    EXPECT_TRUE(
        e->DropPaths({QString::fromStdString(f.dir.Path("a")), QString::fromStdString(f.dir.Path("b"))}));
    EXPECT_EQ(e->text().toStdString(), f.dir.Path("a"));
    EXPECT_FALSE(e->DropPaths({QString::fromStdString(f.dir.Path("file.txt"))}));
    EXPECT_FALSE(e->DropPaths({QString::fromStdString(f.dir.Path("missing"))}));
    EXPECT_EQ(e->text().toStdString(), f.dir.Path("a"));
    EXPECT_FALSE(IsYellow(e));

    // A drop as a file manager sends it: the first URL counts.
    auto drop = [&](const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.form->EditSrc, &enter);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.form->EditSrc, &event);
    };
    drop({QString::fromStdString(f.dir.Path("b")), QString::fromStdString(f.dir.Path("a"))});
    EXPECT_EQ(f.form->EditSrc->text().toStdString(), f.dir.Path("b"));
    drop({QString::fromStdString(f.dir.Path("file.txt"))});
    EXPECT_EQ(f.form->EditSrc->text().toStdString(), f.dir.Path("b"));
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
    EXPECT_EQ(w.settings.profiles.size(), 1u);
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
        d.EditName->setText(QStringLiteral("Example 2"));
        d.ButtonOkClick();
    });
    w.ButtonEdtClick();
    EXPECT_EQ(w.ComboBox->currentText(), QStringLiteral("Example 2"));
    EXPECT_TRUE(w.ButtonMove->isEnabled());

    // Adding selects the new entry and clears the results.
    test::WhenModal<TMediaDialog>([](TMediaDialog& d) {
        EXPECT_TRUE(d.AddMode);
        EXPECT_EQ(d.EditSystem->text(), QStringLiteral("256"));
        d.EditName->setText(QStringLiteral("BD-R 25GB"));
        d.EditTotal->setText(QStringLiteral("12219392"));
        d.EditClusterExit(d.EditTotal);
        d.ButtonOkClick();
    });
    w.ButtonAddClick();
    EXPECT_EQ(w.ComboBox->currentText(), QStringLiteral("BD-R 25GB"));
    EXPECT_EQ(w.CurrentProfile()->Total, 12219392);
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
    EXPECT_EQ(w.settings.Options, 0x10088 | 0x40 | 0x02);
    EXPECT_EQ(w.settings.MinSize, 1024);

    test::WhenModal<TOptDialog>([](TOptDialog& d) {
        d.CheckSlack->setChecked(false);
        d.ButtonCancel->click();
    });
    w.MenuOpt->trigger();
    EXPECT_EQ(w.settings.Options, 0x10088 | 0x40 | 0x02);

    // Both grouping bits set: the dialog opens on item 1, and OK clears bit 7.
    test::WhenModal<TGroupDialog>([](TGroupDialog& d) {
        EXPECT_EQ(d.ItemIndex(), 1);
        d.ButtonOk->click();
    });
    w.ButtonGroup->click();
    EXPECT_EQ(w.settings.Options, 0x10008 | 0x40 | 0x02);
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
    ASSERT_FALSE(f.prompter.asked.empty());
    EXPECT_EQ(f.prompter.asked.back().text, f.dir.Path("not-a-folder/stowra.ini") + " に書き込めません");
}

TEST(TMainForm, MoveThroughTheWindow) {
    Fixture f;
    WriteExample(f);
    f.Open();
    TMainForm& w = *f.form;
    w.ButtonScan->click();
    ASSERT_TRUE(w.ButtonMove->isEnabled());
    const std::string stamp = w.state.scanStamp;

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
    EXPECT_EQ(w.CurrentProfile()->Total, 2298496);
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
