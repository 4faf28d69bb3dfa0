#pragma once
// Qt's own texts (the standard buttons of message boxes, the folder browser) in the program's
// language.

#include <QTranslator>
#include <memory>

#include "platform/Translation.h"

namespace stowra {

// Qt's Japanese translation for Japanese, loaded from Qt's translations folder; null for English,
// which is Qt's own language, and when the translation is not installed.
std::unique_ptr<QTranslator> QtTranslations(Language language);

}  // namespace stowra
