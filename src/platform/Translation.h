#pragma once
// The program's texts in the user's language. The Japanese texts written in the code are the
// source texts and the keys of the catalog; po/en.po gives their English wording, and the build
// turns it into a table compiled into the program. The engine, the command line and the window
// all look their texts up here.

#include <span>

namespace stowra {

enum class Language { Japanese, English };

// The language asked for by the locale variables' text, as Linux programs read them: the first
// non-empty of LC_ALL, LC_MESSAGES and LANG. Japanese for ja (ja_JP.UTF-8, ja_JP@mod ...), for
// C and POSIX with or without a code set, and when none is set; English for any other language,
// whether or not that locale is installed.
Language LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang);

// The language of this process, decided from its environment at the first call.
Language ProgramLanguage();

// The text in the language: the catalog's English for a source text that has one, else the
// source text itself. The result lives as long as the program.
const char* Translate(const char* source, Language language) __attribute__((format_arg(1)));

// The text in the program's language. Formats keep their directives, so the compiler checks the
// arguments against the source text.
const char* Tr(const char* source) __attribute__((format_arg(1)));

struct CatalogEntry {
    const char* source;
    const char* english;
};

// Every entry of the English catalog, in the order of po/en.po.
std::span<const CatalogEntry> EnglishCatalog();

}  // namespace stowra
