// Opens the main window on a sample folder, runs a scan as a click would, and saves a picture of
// the screen. scripts/screenshot.sh runs it under Xvfb.
// Usage: window_screenshot SAMPLE_FOLDER SETTINGS_FILE OUTPUT.png [medium-to-select]

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "app/TMainForm.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: window_screenshot SAMPLE_FOLDER SETTINGS_FILE OUTPUT.png [NODE]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Stowra"));
    stowra::TMainForm::Services services;
    services.settingsPath = argv[2];
    stowra::TMainForm form(std::move(services));
    form.EditSrc->setText(QString::fromLocal8Bit(argv[1]));
    form.show();
    int node = argc > 4 ? std::atoi(argv[4]) : 0;
    QTimer::singleShot(500, [&] {
        form.ButtonScan->click();
        if (node > 0 && form.TreeView->topLevelItemCount() > 0) {
            QTreeWidgetItem* root = form.TreeView->topLevelItem(0);
            form.TreeView->setCurrentItem(node <= root->childCount() ? root->child(node - 1)
                                                                     : form.TreeView->topLevelItem(1));
        }
    });
    QTimer::singleShot(1500, [&] {
        QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        QRect frame = form.frameGeometry().adjusted(-4, -4, 4, 4);
        shot.copy(frame).save(QString::fromLocal8Bit(argv[3]));
        form.close();
        app.quit();
    });
    return QApplication::exec();
}
