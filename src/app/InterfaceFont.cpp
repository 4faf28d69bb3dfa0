#include "app/InterfaceFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>

namespace stowra {

namespace {

// Families with Japanese and Latin glyphs of one design, most common on Linux first.
const char* const kFamilies[] = {"Noto Sans CJK JP", "Noto Sans JP",       "Source Han Sans JP",
                                 "IPAexGothic",      "IPAPGothic",         "VL PGothic",
                                 "TakaoPGothic",     "Droid Sans Japanese"};

bool DrawsAll(const QFont& font, const QString& sample) {
    const QRawFont raw = QRawFont::fromFont(font);
    for (QChar c : sample) {
        if (!raw.supportsCharacter(c)) {
            return false;
        }
    }
    return raw.isValid();
}

}  // namespace

QString UseInterfaceFont() {
    const QStringList installed = QFontDatabase::families();
    for (const char* name : kFamilies) {
        const QString family = QString::fromUtf8(name);
        if (!installed.contains(family)) {
            continue;
        }
        QFont font = QApplication::font();
        font.setFamilies({family});
        if (QFontInfo(font).family() != family || !DrawsAll(font, QStringLiteral("0A（）詰め込み率"))) {
            continue;
        }
        QApplication::setFont(font);
        return family;
    }
    return {};
}

}  // namespace stowra
