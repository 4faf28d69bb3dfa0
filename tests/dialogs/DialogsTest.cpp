#include <gtest/gtest.h>

#include <QClipboard>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTimer>

#include "dialogs/TGroupDialog.h"
#include "dialogs/TMediaDialog.h"
#include "dialogs/TOptDialog.h"
#include "packing/DiscPresets.h"
#include "packing/MediaProfile.h"
#include "settings/SettingsFile.h"
#include "support/Recorders.h"

namespace stowra {
namespace {

bool IsYellow(const QLineEdit* e) {
    return e->palette().color(QPalette::Base) == QColor(255, 255, 0);
}

// Opens a field's context menu as a right click does.
QMenu* OpenContextMenu(QWidget* field) {
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(4, 4), field->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(field, &e);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// The ways text reaches a field.
enum class Route { InputMethod, Drop, Paste };

void Enter(QLineEdit* field, Route route, const QString& text) {
    switch (route) {
        case Route::InputMethod: {
            QInputMethodEvent commit;
            commit.setCommitString(text);
            QApplication::sendEvent(field, &commit);
            break;
        }
        case Route::Drop: {
            QMimeData mime;
            mime.setText(text);
            const QPoint at(field->width() - 3, field->height() / 2);
            QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(field, &enter);
            QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(field, &drop);
            break;
        }
        case Route::Paste: {
            QGuiApplication::clipboard()->setText(text);
            QMenu* menu = OpenContextMenu(field);
            ASSERT_NE(menu, nullptr);
            for (QAction* a : menu->actions()) {
                if (a->text().startsWith(QStringLiteral("&Paste")))
                    menu->setActiveAction(a);
            }
            QTest::keyClick(menu, Qt::Key_Return);
            break;
        }
    }
}

// Shows each message in a real box, which takes the focus from the dialog as a user's would,
// and closes it as soon as it shows.
struct BoxPrompter : test::ScriptedPrompter {
    MessageAnswer Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                      MessageButtons buttons) override {
        QMessageBox box;
        box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        QTimer::singleShot(50, &box, &QMessageBox::accept);
        box.exec();
        return ScriptedPrompter::Ask(text, caption, icon, buttons);
    }
};

TEST(TOptDialog, MinimumSizeField) {
    test::ScriptedPrompter p;
    TOptDialog d(p);
    d.EditMin->setText(QStringLiteral("0"));
    d.show();
    EXPECT_EQ(d.EditMin->value, 0);

    d.EditMin->setFocus();
    d.EditMin->clear();
    EXPECT_TRUE(IsYellow(d.EditMin));
    QTest::keyClicks(d.EditMin, QStringLiteral("a1-b2 3"));
    EXPECT_EQ(d.EditMin->text(), QStringLiteral("123"));
    EXPECT_FALSE(IsYellow(d.EditMin));
    QTest::keyClick(d.EditMin, Qt::Key_Escape);  // consumed without undo in this field
    EXPECT_EQ(d.EditMin->text(), QStringLiteral("123"));

    struct Case {
        const char* text;
        std::int32_t value;
        const char* shown;
    } cases[] = {
        {"", 0, "0"}, {"4096", 4096, "4096"}, {"-5", 0, "0"}, {"2147483647", 2147483647, "2147483647"}};
    for (const auto& c : cases) {
        d.EditMin->setText(QString::fromUtf8(c.text));
        EXPECT_TRUE(d.EditMinExit());
        EXPECT_EQ(d.EditMin->value, c.value) << c.text;
        EXPECT_EQ(d.EditMin->text(), QString::fromUtf8(c.shown)) << c.text;
    }
    d.EditMin->setText(QStringLiteral("99999999999"));
    EXPECT_FALSE(d.EditMinExit());
    EXPECT_EQ(d.EditMin->value, 2147483647);
    ASSERT_EQ(p.asked.size(), 1u);
    EXPECT_EQ(p.asked[0].text, "'99999999999' は整数ではありません");

    // OK does not close while the text cannot be taken over.
    d.ButtonOk->click();
    EXPECT_TRUE(d.isVisible());
    d.EditMin->setText(QStringLiteral("77"));
    d.ButtonOk->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.EditMin->value, 77);
}

TEST(TGroupDialog, TextsAndItems) {
    TGroupDialog d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("簡易グループ化の設定"));
    EXPECT_EQ(d.ItemIndex(), 0);
    d.SetItemIndex(2);
    EXPECT_EQ(d.ItemIndex(), 2);
    EXPECT_EQ(d.Label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(d.Label->text().endsWith(QStringLiteral("ご注意ください。")));
    EXPECT_EQ(d.Label->text().count(QLatin1Char('\n')), 3);
}

// The add dialog as the main window opens it with the default settings.
struct AddDialog {
    test::ScriptedPrompter prompter;
    TMediaDialog d{prompter};
    explicit AddDialog(bool slack = false) {
        d.form.addMode = true;
        d.form.profileNames = {"CD-R 700MiB", "DVD-R 4.7GB(4.38GiB)"};
        d.form.selectedIndex = 0;
        d.EditCluster->value = 2048;
        d.EditTotal->value = 0;
        d.EditSystem->value = 256;
        d.EditSlack->value = 3840;
        d.SetSlackEnabled(slack);
        d.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
    }
};

TEST(TMediaDialog, AddDialogDefaults) {
    AddDialog a;
    TMediaDialog& d = a.d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("メディア設定"));
    EXPECT_TRUE(IsYellow(d.EditName));
    EXPECT_EQ(d.EditCluster->text(), QStringLiteral("2048"));
    EXPECT_EQ(d.EditTotal->toolTip(), QStringLiteral("0 Byte"));
    EXPECT_EQ(d.EditSystem->toolTip(), QStringLiteral("512.0000 KiB"));
    EXPECT_EQ(d.EditSlack->toolTip(), QStringLiteral("7.5000 MiB"));
    EXPECT_FALSE(d.EditSlack->isEnabled());
    EXPECT_FALSE(d.Label8->isEnabled());
    EXPECT_EQ(d.EditCluster->toolTip(), QStringLiteral("通常は変更する必要はありません"));
    EXPECT_EQ(d.LabelComment->text().count(QLatin1Char('\n')), 13);
    EXPECT_EQ(d.LabelComment->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(d.EditTotal->toolTipDuration(), 5000);
}

TEST(TMediaDialog, EachPresetFillsItsExactNumbers) {
    AddDialog a;
    TMediaDialog& d = a.d;
    ASSERT_EQ(d.ComboPreset->count(), static_cast<int>(kDiscPresets.size()) + 1);
    const struct {
        const char* name;
        std::int32_t total;
    } expected[] = {{"CD-R 650MB (74 min)", 333000},
                    {"CD-R 700MB (80 min)", 360000},
                    {"CD-R 800MB (90 min)", 405000},
                    {"DVD-R 4.7GB", 2298496},
                    {"DVD+R 4.7GB", 2295104},
                    {"DVD-R DL 8.5GB", 4171712},
                    {"DVD+R DL 8.5GB", 4173824},
                    {"BD-R 25GB", 12219392},
                    {"BD-R DL 50GB", 24438784},
                    {"BD-R XL 100GB (3 layers)", 48878592},
                    {"BD-R XL 128GB (4 layers)", 62500864}};
    d.EditSystem->setText(QStringLiteral("300"));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        d.ComboPreset->setCurrentIndex(static_cast<int>(i) + 1);
        d.ComboPresetChange(static_cast<int>(i) + 1);
        EXPECT_EQ(d.EditName->text(), QString::fromUtf8(expected[i].name));
        EXPECT_EQ(d.EditCluster->value, 2048) << i;
        EXPECT_EQ(d.EditTotal->value, expected[i].total) << i;
        EXPECT_EQ(d.EditTotal->text(), QString::number(expected[i].total)) << i;
        EXPECT_EQ(d.EditSystem->text(), QStringLiteral("300")) << "the user's own figures stay";
    }
    // The DVD-R preset is the built-in DVD-R, sector for sector.
    EXPECT_EQ(kDiscPresets[3].total, kBuiltinDvdTotal);
}

TEST(TMediaDialog, NumericFields) {
    AddDialog a(true);
    TMediaDialog& d = a.d;
    d.EditTotal->setFocus();
    d.EditTotal->selectAll();
    QTest::keyClicks(d.EditTotal, QStringLiteral("1x0y0"));
    EXPECT_EQ(d.EditTotal->text(), QStringLiteral("100"));
    EXPECT_EQ(d.EditTotal->value, 100);
    EXPECT_EQ(d.EditTotal->toolTip(), QStringLiteral("200.0000 KiB"));

    d.EditSystem->setFocus();
    d.EditSystem->clear();
    EXPECT_TRUE(IsYellow(d.EditSystem));
    EXPECT_EQ(d.EditSystem->toolTip(), QString());
    EXPECT_EQ(d.EditSystem->value, 256);  // an empty field keeps its previous value until left
    d.EditClusterExit(d.EditSystem);
    EXPECT_EQ(d.EditSystem->text(), QStringLiteral("0"));
    EXPECT_FALSE(IsYellow(d.EditSystem));

    // Escape undoes the last change once.
    d.EditSlack->setFocus();
    d.EditSlack->setText(QStringLiteral("10"));
    d.EditSlack->selectAll();
    QTest::keyClicks(d.EditSlack, QStringLiteral("5"));
    QTest::keyClick(d.EditSlack, Qt::Key_Escape);
    EXPECT_EQ(d.EditSlack->text(), QStringLiteral("10"));
    QTest::keyClick(d.EditSlack, Qt::Key_Escape);
    EXPECT_EQ(d.EditSlack->text(), QStringLiteral("10"));

    d.EditTotal->setText(QStringLiteral("4294967296"));
    EXPECT_FALSE(d.EditClusterExit(d.EditTotal));
    EXPECT_EQ(a.prompter.asked.back().text, "'4294967296' は整数ではありません");

    // OK takes every field, not only the focused one: while a text cannot be stored, every press
    // reports it and the dialog stays, whatever value typing left behind.
    a.prompter.asked.clear();
    d.EditName->setText(QStringLiteral("BD-R"));
    d.EditSystem->setText(QStringLiteral("256"));
    d.EditTotal->setFocus();
    d.EditTotal->selectAll();
    QTest::keyClicks(d.EditTotal, QStringLiteral("99999999999"));
    QTest::keyClick(d.EditTotal, Qt::Key_Tab);
    QTest::mouseClick(d.ButtonOk, Qt::LeftButton);
    QTest::mouseClick(d.ButtonOk, Qt::LeftButton);
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_EQ(a.prompter.asked.size(), 3u);
    for (const auto& q : a.prompter.asked) EXPECT_EQ(q.text, "'99999999999' は整数ではありません");
    EXPECT_EQ(d.focusWidget(), d.EditTotal);
}

TEST(FieldEdit, NumericFieldsTakeOnlyDigits) {
    // Full-width digits are the digits a Japanese input method types; anything else is refused
    // whole, however it comes.
    const struct {
        Route route;
        const char* start;
        const char* entered;
        const char* shown;
    } cases[] = {
        {Route::InputMethod, "", "１２３", "123"},
        {Route::InputMethod, "", "１２ab-", ""},
        {Route::InputMethod, "5", "０", "50"},
        {Route::Drop, "256", "12ab", "256"},
        {Route::Drop, "", "３4", "34"},
        {Route::Paste, "256", "12ab", "256"},
        {Route::Paste, "", "０9", "09"},  // opening the menu leaves the emptied field empty
        {Route::Paste, "", "-5", ""},
    };
    test::ScriptedPrompter p;
    TMediaDialog media(p);
    TOptDialog options(p);
    for (auto [dialog, field] :
         {std::pair<QDialog*, FieldEdit*>{&media, media.EditTotal}, {&options, options.EditMin}}) {
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        for (const auto& c : cases) {
            field->setFocus();
            field->setText(QString::fromUtf8(c.start));
            Enter(field, c.route, QString::fromUtf8(c.entered));
            EXPECT_EQ(field->text(), QString::fromUtf8(c.shown))
                << static_cast<int>(c.route) << " " << c.entered;
        }
        dialog->hide();
    }
    EXPECT_TRUE(p.asked.empty());
}

TEST(FieldEdit, LeavingIsGoingToAnotherControl) {
    // A field holding a number too long for 32 bits reports it when the user moves on, not when
    // a menu or another window takes the focus for a while.
    enum class Taker { Tab, ContextMenu };
    const struct {
        Taker taker;
        std::size_t messages;
    } cases[] = {{Taker::Tab, 1}, {Taker::ContextMenu, 0}};
    for (const auto& c : cases) {
        AddDialog a(true);
        FieldEdit* total = a.d.EditTotal;
        total->setFocus();
        total->selectAll();
        QTest::keyClicks(total, QStringLiteral("99999999999"));
        switch (c.taker) {
            case Taker::Tab:
                QTest::keyClick(total, Qt::Key_Tab);
                break;
            case Taker::ContextMenu: {
                QMenu* menu = OpenContextMenu(total);
                ASSERT_NE(menu, nullptr);  // the menu opens, no message stands in its way
                QTest::keyClick(menu, Qt::Key_Escape);
                break;
            }
        }
        EXPECT_EQ(a.prompter.asked.size(), c.messages) << static_cast<int>(c.taker);
    }

    // Another window taking the focus is no leaving either, such as the box that reports the
    // field: it asks once.
    BoxPrompter boxes;
    TMediaDialog d(boxes);
    d.EditName->setText(QStringLiteral("BD-R"));
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    d.EditTotal->setFocus();
    d.EditTotal->selectAll();
    QTest::keyClicks(d.EditTotal, QStringLiteral("99999999999"));
    QTest::mouseClick(d.ButtonOk, Qt::LeftButton);
    EXPECT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(d.isVisible());
}

struct ValidationCase {
    const char* name;
    const char* total;
    const char* system;
    const char* slack;
    const char* cluster;
    bool slackEnabled;
    const char* message;  // nullptr: accepted
    const char* focus;
};

TEST(TMediaDialog, AFailureShowsItsMessageAndFocusesItsField) {
    // The order of the checks is the form's (and tested with it); here the dialog shows each
    // failure and puts the focus where the form says, unless that field is greyed.
    const ValidationCase cases[] = {
        {"", "0", "0", "0", "0", true, "メディア名を入れてください", "EditName"},
        {"BD-R", "0", "0", "0", "0", true, "クラスタサイズを入れてください", "EditCluster"},
        {"BD-R", "1000", "0", "0", "2048", true, "システムサイズはゼロより大きくしてください", "EditSystem"},
        {"BD-R", "1000", "256", "1000", "2048", true, "スラックサイズは総サイズより小さくなければいけません",
         "EditSlack"},
        {"BD-R", "1000", "256", "3840", "2048", false, "スラックサイズは総サイズより小さくなければいけません",
         "EditTotal"},
        {"cd-r 700mib", "1000", "256", "10", "2048", true, nullptr, nullptr},
        {"BD-R", "12219392", "256", "3840", "2048", true, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        AddDialog a(c.slackEnabled);
        TMediaDialog& d = a.d;
        d.EditName->setText(QString::fromUtf8(c.name));
        d.EditCluster->setText(QString::fromUtf8(c.cluster));
        d.EditTotal->setText(QString::fromUtf8(c.total));
        d.EditSystem->setText(QString::fromUtf8(c.system));
        if (c.slackEnabled) {
            d.EditSlack->setText(QString::fromUtf8(c.slack));
        }
        for (FieldEdit* f : {d.EditCluster, d.EditTotal, d.EditSystem, d.EditSlack}) d.EditClusterExit(f);
        d.activateWindow();
        d.EditTotal->setFocus();
        d.ButtonOkClick();
        if (c.message == nullptr) {
            EXPECT_EQ(d.result(), QDialog::Accepted) << c.name;
            EXPECT_TRUE(a.prompter.asked.empty()) << a.prompter.asked[0].text;
            continue;
        }
        ASSERT_EQ(a.prompter.asked.size(), 1u) << c.message;
        EXPECT_EQ(a.prompter.asked[0].text, c.message);
        EXPECT_EQ(a.prompter.asked[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(a.prompter.asked[0].caption, "");
        EXPECT_NE(d.result(), QDialog::Accepted);
        ASSERT_NE(d.focusWidget(), nullptr);
        QWidget* expected = QString::fromUtf8(c.focus) == QStringLiteral("EditName")      ? d.EditName
                            : QString::fromUtf8(c.focus) == QStringLiteral("EditCluster") ? d.EditCluster
                            : QString::fromUtf8(c.focus) == QStringLiteral("EditTotal")   ? d.EditTotal
                            : QString::fromUtf8(c.focus) == QStringLiteral("EditSystem")  ? d.EditSystem
                                                                                          : d.EditSlack;
        EXPECT_EQ(d.focusWidget(), expected) << c.message;
    }
}

TEST(TMediaDialog, EditModeSkipsTheEntryBeingEdited) {
    AddDialog a;
    TMediaDialog& d = a.d;
    d.form.addMode = false;
    d.form.selectedIndex = 0;
    d.EditName->setText(QStringLiteral("CD-R 700MiB"));
    d.EditTotal->setText(QStringLiteral("359850"));
    d.EditClusterExit(d.EditTotal);
    d.ButtonOkClick();
    EXPECT_EQ(d.result(), QDialog::Accepted);

    AddDialog b;
    b.d.form.addMode = false;
    b.d.form.selectedIndex = 0;
    b.d.EditName->setText(QStringLiteral("DVD-R 4.7GB(4.38GiB)"));
    b.d.EditTotal->setText(QStringLiteral("359850"));
    b.d.EditClusterExit(b.d.EditTotal);
    b.d.ButtonOkClick();
    ASSERT_EQ(b.prompter.asked.size(), 1u);
    EXPECT_EQ(b.prompter.asked[0].text, "そのメディア名はすでに使用されています");
}

TEST(TMediaDialog, ExtraNameRuleRunsAfterTheNameChecks) {
    AddDialog a;
    a.d.form.nameProblem = [](const std::string& name) {
        return name.find('[') != std::string::npos ? std::string("bad name") : std::string();
    };
    a.d.EditName->setText(QStringLiteral("A[1]"));
    a.d.EditTotal->setText(QStringLiteral("1000"));
    a.d.EditClusterExit(a.d.EditTotal);
    a.d.ButtonOkClick();
    ASSERT_EQ(a.prompter.asked.size(), 1u);
    EXPECT_EQ(a.prompter.asked[0].text, "bad name");
}

}  // namespace
}  // namespace stowra
