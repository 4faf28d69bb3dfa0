#include "app/QtTranslations.h"

#include <QLibraryInfo>

namespace stowra {

std::unique_ptr<QTranslator> QtTranslations(Language language) {
    if (language != Language::Japanese) {
        return nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return nullptr;
    }
    return translator;
}

}  // namespace stowra
