// Opens the main window on a sample folder, runs a scan as a click would, and saves a picture of
// the screen. scripts/screenshot.sh runs it under Xvfb.
// Usage: window_screenshot SAMPLE_FOLDER SETTINGS_FILE OUTPUT.png [NODE [media|options|group]]
// NODE selects a tree node after the scan (0 the summary); the last argument opens a dialog too:
// one of the program's (media, options, group), or Qt's own (browse: the folder browser, question:
// a message box with four buttons), which show Qt's texts in the program's language.

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "app/InterfaceFont.h"
#include "app/QtTranslations.h"
#include "app/TMainForm.h"
#include "dialogs/TGroupDialog.h"
#include "dialogs/TMediaDialog.h"
#include "dialogs/TOptDialog.h"
#include "platform/BatchMove.h"
#include "ui/FolderChooser.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: window_screenshot SAMPLE_FOLDER SETTINGS_FILE OUTPUT.png [NODE]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Stowra"));
    const std::unique_ptr<QTranslator> qtTexts = stowra::QtTranslations(stowra::ProgramLanguage());
    if (qtTexts) {
        QApplication::installTranslator(qtTexts.get());
    }
    stowra::UseInterfaceFont();
    stowra::TMainForm::Services services;
    services.settingsPath = argv[2];
    stowra::TMainForm form(std::move(services));
    form.EditSrc->SetNativeText(argv[1]);
    form.show();
    int node = argc > 4 ? std::atoi(argv[4]) : 0;
    const std::string dialogName = argc > 5 ? argv[5] : "";
    std::unique_ptr<QDialog> dialog;
    QTimer::singleShot(500, [&] {
        form.ButtonScan->click();
        if (node > 0 && form.TreeView->topLevelItemCount() > 0) {
            QTreeWidgetItem* root = form.TreeView->topLevelItem(0);
            form.TreeView->setCurrentItem(node <= root->childCount() ? root->child(node - 1)
                                                                     : form.TreeView->topLevelItem(1));
        }
    });
    QTimer::singleShot(900, [&] {
        if (dialogName == "media" || dialogName == "media-message") {
            auto* media = new stowra::TMediaDialog(form.Messages(), &form);
            media->EditName->setText(QStringLiteral("BD-R 25GB"));
            media->EditCluster->value = 2048;
            media->EditTotal->value = 12219392;
            media->EditSystem->value = 256;
            media->EditSlack->value = 3840;
            media->SetSlackEnabled(false);
            dialog.reset(media);
        } else if (dialogName == "options") {
            auto* options = new stowra::TOptDialog(form.Messages(), &form);
            options->EditMin->setText(QStringLiteral("0"));
            options->CheckATIP->setChecked(true);
            dialog.reset(options);
        } else if (dialogName == "group") {
            auto* group = new stowra::TGroupDialog(&form);
            group->SetItemIndex(1);
            dialog.reset(group);
        } else if (dialogName == "browse") {
            auto* browse = new QFileDialog(&form, stowra::QTr(stowra::kSourceFolderTitle),
                                           QString::fromLocal8Bit(argv[1]));
            browse->setFileMode(QFileDialog::Directory);
            browse->setOption(QFileDialog::ShowDirsOnly);
            browse->setOption(QFileDialog::DontUseNativeDialog);
            dialog.reset(browse);
        } else if (dialogName == "question") {
            auto* box = new QMessageBox(
                QMessageBox::Warning, stowra::QTr(stowra::kReplaceCaption),
                stowra::ToQt(stowra::ReplaceQuestion("/media/discs/1/IMG_1001.jpg")),
                QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::Cancel, &form);
            dialog.reset(box);
        }
        if (dialog) {
            dialog->move(form.geometry().topLeft() + QPoint(40, 60));
            dialog->show();
        }
        if (dialogName == "media-message") {
            // A check that fails on OK: its message box over the dialog.
            QTimer::singleShot(400, [&] {
                auto* media = static_cast<stowra::TMediaDialog*>(dialog.get());
                media->EditName->clear();
                media->ButtonOkClick();
            });
        }
    });
    QTimer::singleShot(1800, [&] {
        QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        QRect frame = form.frameGeometry().adjusted(-4, -4, 4, 4);
        if (dialog)
            frame = frame.united(dialog->frameGeometry().adjusted(-4, -4, 4, 4));
        if (QWidget* box = QApplication::activeModalWidget(); box != nullptr && box != dialog.get()) {
            frame = frame.united(box->frameGeometry().adjusted(-4, -4, 4, 4));
            shot = QGuiApplication::primaryScreen()->grabWindow(0);
            shot.copy(frame).save(QString::fromLocal8Bit(argv[3]));
            box->close();
        } else {
            shot.copy(frame).save(QString::fromLocal8Bit(argv[3]));
        }
        form.close();
        app.quit();
    });
    return QApplication::exec();
}
