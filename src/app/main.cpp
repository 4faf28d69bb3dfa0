// Stowra: the desktop program.

#include <QApplication>
#include <QMessageBox>
#include <clocale>

#include "app/InterfaceFont.h"
#include "app/TMainForm.h"
#include "platform/Process.h"
#include "settings/SettingsFile.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    stowra::RaiseOpenFileLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Stowra"));
    stowra::UseInterfaceFont();
    try {
        stowra::TMainForm::Services services;
        services.settingsPath = stowra::SettingsPath();
        stowra::TMainForm form(std::move(services));
        form.show();
        return QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Stowra"), QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
