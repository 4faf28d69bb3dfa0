#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Translation.h"

namespace stowra {
namespace {

TEST(LanguageFromLocale, FollowsTheFirstNonEmptyVariable) {
    const struct {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        Language expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, Language::Japanese},  // nothing set
        {"", "", "", Language::Japanese},
        {nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},
        {nullptr, nullptr, "ja", Language::Japanese},
        {nullptr, nullptr, "ja_JP.eucJP@mod", Language::Japanese},
        {nullptr, nullptr, "C", Language::Japanese},
        {nullptr, nullptr, "C.UTF-8", Language::Japanese},
        {nullptr, nullptr, "POSIX", Language::Japanese},
        {nullptr, nullptr, "en_US.UTF-8", Language::English},
        {nullptr, nullptr, "de_DE.UTF-8", Language::English},
        {nullptr, nullptr, "jam_JM", Language::English},       // not Japanese, however it starts
        {nullptr, nullptr, "xx_YY.UTF-8", Language::English},  // not installed: still English
        {"en_GB.UTF-8", nullptr, "ja_JP.UTF-8", Language::English},
        {"", "en_US.UTF-8", "ja_JP.UTF-8", Language::English},
        {"C.UTF-8", "en_US.UTF-8", "en_US.UTF-8", Language::Japanese},
        {nullptr, "ja_JP.UTF-8", "en_US.UTF-8", Language::Japanese},
        {"", "", "fr_FR@euro", Language::English},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LanguageFromLocale(c.lcAll, c.lcMessages, c.lang), c.expected)
            << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
}

TEST(Translate, GivesTheSourceTextInJapaneseAndWhereNoEntryExists) {
    const char* source = "入力フォルダが見つかりません";
    EXPECT_EQ(Translate(source, Language::Japanese), source);
    EXPECT_STRNE(Translate(source, Language::English), source);
    const char* unknown = "no entry for this text";
    EXPECT_EQ(Translate(unknown, Language::English), unknown);
    EXPECT_EQ(Translate(nullptr, Language::English), nullptr);
}

TEST(Translate, EnglishSaysWhatTheFieldsAndTheSystemCallThings) {
    // The fields are labelled "Sector size" and "sectors"; a number too large is still a whole
    // number; on Linux two folders differ in file system, not in drive.
    const struct {
        const char* source;
        const char* english;
    } cases[] = {
        {"クラスタサイズを入れてください", "Enter the sector size"},
        {"メディアの総クラスタサイズ", "The whole size of the disc in sectors"},
        {"'%s' は整数ではありません", "'%s' is not a whole number from -2147483648 to 2147483647"},
        {"入力フォルダと出力フォルダのドライブが異なっているため、\nファイルの移動に時間がかかるかもしれませ"
         "ん。\n"
         "よろしいですか？",
         "The source and destination folders are on different drives or file systems,\nso moving the files "
         "may "
         "take a while.\nDo you want to go on?"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(Translate(c.source, Language::English), c.english);
    }
}

// The C++ sources as a stream of tokens: string literals decoded (adjacent ones joined, as the
// compiler joins them), identifiers and single punctuation characters; comments dropped.
struct Token {
    enum Kind { Literal, Word, Punct } kind;
    std::string text;
};

char Unescape(const std::string& s, std::size_t& i) {
    const char c = s[i++];
    switch (c) {
        case 'n':
            return '\n';
        case 't':
            return '\t';
        case 'r':
            return '\r';
        case 'a':
            return '\a';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'v':
            return '\v';
        case 'x': {
            int value = 0;
            while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i]))) {
                const char h = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i++])));
                value = value * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
            }
            return static_cast<char>(value);
        }
        default:
            if (c >= '0' && c <= '7') {
                int value = c - '0';
                for (int n = 0; n < 2 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++n) {
                    value = value * 8 + (s[i++] - '0');
                }
                return static_cast<char>(value);
            }
            return c;  // \" \' \\ \?
    }
}

std::vector<Token> Tokenize(const std::string& s) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (s.compare(i, 2, "//") == 0) {
            i = s.find('\n', i);
            i = i == std::string::npos ? s.size() : i;
        } else if (s.compare(i, 2, "/*") == 0) {
            i = s.find("*/", i + 2);
            i = i == std::string::npos ? s.size() : i + 2;
        } else if (c == '"') {
            std::string text;
            for (++i; i < s.size() && s[i] != '"';) {
                if (s[i] == '\\') {
                    ++i;
                    text.push_back(Unescape(s, i));
                } else {
                    text.push_back(s[i++]);
                }
            }
            ++i;
            if (!tokens.empty() && tokens.back().kind == Token::Literal) {
                tokens.back().text += text;
            } else {
                tokens.push_back({Token::Literal, text});
            }
        } else if (c == '\'' && i > 0 && std::isxdigit(static_cast<unsigned char>(s[i - 1])) &&
                   i + 1 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1]))) {
            ++i;  // a digit separator
        } else if (c == '\'') {
            for (++i; i < s.size() && s[i] != '\''; ++i) {
                i += s[i] == '\\' ? 1 : 0;
            }
            ++i;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            std::size_t start = i;
            while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_')) {
                ++i;
            }
            tokens.push_back({Token::Word, s.substr(start, i - start)});
        } else if (std::isspace(static_cast<unsigned char>(c)) ||
                   std::isdigit(static_cast<unsigned char>(c))) {
            ++i;
        } else {
            tokens.push_back({Token::Punct, std::string(1, c)});
            ++i;
        }
    }
    return tokens;
}

bool HasNonAscii(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

// Non-ASCII literals that are not texts for the user to read.
const std::set<std::string> kNotTexts = {
    "0A（）詰め込み率",  // glyphs the interface font must draw
    "⇒",                 // the arrow between the two command buttons
    "\xEF\xBB\xBF",      // the byte order mark a settings file may start with
    "\xEF\xBF\xBD",      // U+FFFD, put for bytes that are not UTF-8 in JSON
};

// Texts the program shows: the literals handed to the lookup, and every literal with
// Japanese (or any non-ASCII) characters, which are all user texts unless listed above.
std::map<std::string, std::string> SourceTexts() {
    std::map<std::string, std::string> texts;  // text -> where it was first seen
    const std::filesystem::path root = std::filesystem::path(STOWRA_SOURCE_DIR) / "src";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        const std::vector<Token> tokens = Tokenize(content.str());
        const std::string where = entry.path().lexically_relative(root).string();
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            const bool wrapped = i >= 2 && tokens[i - 1].text == "(" &&
                                 (tokens[i - 2].text == "Tr" || tokens[i - 2].text == "QTr");
            if (t.kind == Token::Literal &&
                (wrapped || (HasNonAscii(t.text) && !kNotTexts.contains(t.text)))) {
                texts.emplace(t.text, where);
            }
        }
    }
    return texts;
}

TEST(EnglishCatalog, HasEveryTextOfTheProgramAndNothingElse) {
#ifdef _WIN32
    GTEST_SKIP() << "the sources are UTF-8, the Windows program's texts code page 932; the Linux run checks "
                    "the catalog";
#endif
    std::map<std::string, std::string> catalog;
    for (const CatalogEntry& e : EnglishCatalog()) {
        EXPECT_TRUE(catalog.emplace(e.source, e.english).second) << "twice in po/en.po: " << e.source;
    }
    const std::map<std::string, std::string> texts = SourceTexts();
    ASSERT_GT(texts.size(), 100u) << "the sources were not found under " << STOWRA_SOURCE_DIR;
    for (const auto& [text, where] : texts) {
        EXPECT_TRUE(catalog.contains(text)) << "no English text in po/en.po for (" << where << "):\n" << text;
    }
    for (const auto& [source, english] : catalog) {
        EXPECT_TRUE(texts.contains(source)) << "po/en.po has a text the program no longer shows:\n" << source;
    }
}

// The printf directives of a text, in order ("%%" included).
std::vector<std::string> Directives(const std::string& text) {
    std::vector<std::string> found;
    for (std::size_t i = text.find('%'); i != std::string::npos; i = text.find('%', i)) {
        const std::size_t start = i++;
        i = text.find_first_not_of("-+ #0", i);
        i = text.find_first_not_of("0123456789*", i);
        if (i < text.size() && text[i] == '.') {
            i = text.find_first_not_of("0123456789*", i + 1);
        }
        i = text.find_first_not_of("hljztL", i);
        found.push_back(text.substr(start, i == std::string::npos ? std::string::npos : i + 1 - start));
        i = i == std::string::npos ? text.size() : i + 1;
    }
    return found;
}

std::size_t Leading(const std::string& text) {
    const std::size_t n = text.find_first_not_of('\n');
    return n == std::string::npos ? text.size() : n;
}

std::size_t Trailing(const std::string& text) {
    const std::size_t n = text.find_last_not_of('\n');
    return n == std::string::npos ? text.size() : text.size() - 1 - n;
}

TEST(EnglishCatalog, KeepsTheDirectivesAndTheLineBreaksAtEitherEnd) {
    EXPECT_EQ(Directives("%s = %llu （%.4f %%）%zu"),
              (std::vector<std::string>{"%s", "%llu", "%.4f", "%%", "%zu"}));
    for (const CatalogEntry& e : EnglishCatalog()) {
        const std::string source = e.source, english = e.english;
        EXPECT_EQ(Directives(english), Directives(source)) << source << "\n" << english;
        // The log is written piece by piece: a line feed lost or gained joins or splits its lines.
        EXPECT_EQ(Leading(english), Leading(source)) << english;
        EXPECT_EQ(Trailing(english), Trailing(source)) << english;
        EXPECT_FALSE(english.empty()) << source;
    }
}

}  // namespace
}  // namespace stowra
