// Stowra: the desktop program.

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Version.h"
#include "app/InterfaceFont.h"
#include "app/QtTranslations.h"
#include "app/TMainForm.h"
#include "platform/Process.h"
#include "settings/SettingsFile.h"

namespace {

constexpr char kUsage[] =
    "Usage: stowra [--version] [--help] [Qt options] [FOLDER]\n"
    "Spreads the files of one folder over recordable optical discs: the desktop program.\n"
    "FOLDER, when given, is the source folder to start with.\n"
    "The command line front end is stowra-cli.\n";

// Without a display Qt would abort; a plain message and the documented exit status serve better.
bool DisplayReachable() {
#ifdef __linux__
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') {
        return true;  // offscreen, vnc and the like need no display
    }
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
#else
    return true;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("stowra %s\n", stowra::kVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (!DisplayReachable()) {
        std::fputs(
            "stowra: no display to open the window on (DISPLAY is not set); the command line "
            "program is stowra-cli\n",
            stderr);
        return 1;
    }
    std::setlocale(LC_ALL, "");
    stowra::RaiseOpenFileLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Stowra"));
    QApplication::setApplicationVersion(QString::fromLatin1(stowra::kVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.stowra.Stowra"));
    QIcon builtIn;
    for (const char* size : {"16", "32", "48", "256"}) {
        builtIn.addFile(QStringLiteral(":/icons/%1.png").arg(QLatin1String(size)));
    }
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.stowra.Stowra"), builtIn));
    const std::unique_ptr<QTranslator> qtTexts = stowra::QtTranslations(stowra::ProgramLanguage());
    if (qtTexts) {
        QApplication::installTranslator(qtTexts.get());
    }
    stowra::UseInterfaceFont();
    try {
        stowra::TMainForm::Services services;
        services.settingsPath = stowra::SettingsPath();
        stowra::TMainForm form(std::move(services));
        if (form.StartRefused()) {
            return 1;
        }
        // Qt has taken its own options out of argv by now: what is left is the source folder, as
        // bytes, so a name that is not valid text still names the folder.
        for (int i = 1; i < argc; ++i) {
            if (argv[i][0] != '-') {
                form.EditSrc->SetNativeText(argv[i]);
                break;
            }
        }
        form.show();
        return QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Stowra"), QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
