#include "platform/Translation.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <string_view>
#include <unordered_map>

namespace stowra {

namespace {

bool IsJapaneseLocale(std::string_view name) {
    // The code set and the modifier do not change the language: "ja_JP.eucJP@mod", "C.UTF-8".
    name = name.substr(0, name.find_first_of(".@"));
    if (name == "C" || name == "POSIX") {
        return true;
    }
    return name.substr(0, name.find('_')) == "ja";
}

const char* NonEmpty(const char* text) {
    return text != nullptr && text[0] != '\0' ? text : nullptr;
}

}  // namespace

Language LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* chosen = NonEmpty(lcAll);
    chosen = chosen != nullptr ? chosen : NonEmpty(lcMessages);
    chosen = chosen != nullptr ? chosen : NonEmpty(lang);
    if (chosen == nullptr || IsJapaneseLocale(chosen)) {
        return Language::Japanese;
    }
    return Language::English;
}

Language ProgramLanguage() {
    static const Language language = [] {
        const char* lcAll = std::getenv("LC_ALL");
        const char* lcMessages = std::getenv("LC_MESSAGES");
        const char* lang = std::getenv("LANG");
#ifdef _WIN32
        // Windows sets none of them: there the user's language of the system decides.
        if (NonEmpty(lcAll) == nullptr && NonEmpty(lcMessages) == nullptr && NonEmpty(lang) == nullptr) {
            return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese
                                                                                : Language::English;
        }
#endif
        return LanguageFromLocale(lcAll, lcMessages, lang);
    }();
    return language;
}

const char* Translate(const char* source, Language language) {
    if (language == Language::Japanese || source == nullptr) {
        return source;
    }
    static const std::unordered_map<std::string_view, const char*> english = [] {
        std::unordered_map<std::string_view, const char*> map;
        for (const CatalogEntry& e : EnglishCatalog()) {
            map.emplace(e.source, e.english);
        }
        return map;
    }();
    auto found = english.find(source);
    return found != english.end() ? found->second : source;
}

const char* Tr(const char* source) {
    return Translate(source, ProgramLanguage());
}

}  // namespace stowra
