#include "relocate/Catalogue.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/Folder.h"
#include "platform/Text.h"

namespace stowra {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The length of the character that starts at `at`: one byte, or a whole UTF-8 sequence.
std::size_t CharLength(std::string_view text, std::size_t at) {
    std::size_t n = 1;
    while (at + n < text.size() && (static_cast<unsigned char>(text[at + n]) & 0xC0) == 0x80) {
        ++n;
    }
    return n;
}

// A bracket expression at `p` (just past '['): whether it holds `c`, and where it ends (npos when it
// does not close, and the '[' is then a character of its own).
bool InClass(std::string_view pattern, std::size_t& p, char c) {
    std::size_t i = p;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    i += negated ? 1 : 0;
    bool found = false;
    for (bool first = true; i < pattern.size() && (first || pattern[i] != ']'); first = false) {
        const char lo = Lower(pattern[i]);
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            found |= Lower(c) >= lo && Lower(c) <= Lower(pattern[i + 2]);
            i += 3;
        } else {
            found |= Lower(c) == lo;
            ++i;
        }
    }
    if (i >= pattern.size()) {
        p = std::string_view::npos;
        return false;
    }
    p = i + 1;
    return found != negated;
}

bool Glob(std::string_view pattern, std::string_view text) {
    std::size_t p = 0, t = 0;
    std::size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starT = t;
            continue;
        }
        if (p < pattern.size()) {
            if (pattern[p] == '?') {
                ++p;
                t += CharLength(text, t);
                continue;
            }
            if (pattern[p] == '[') {
                std::size_t end = p + 1;
                const bool in = InClass(pattern, end, text[t]);
                if (end != std::string_view::npos) {
                    if (in) {
                        p = end;
                        ++t;
                        continue;
                    }
                } else if (text[t] == '[') {
                    ++p;
                    ++t;
                    continue;
                }
            } else if (Lower(pattern[p]) == Lower(text[t])) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP == std::string_view::npos) {
            return false;
        }
        p = starP;  // the last star takes one more character
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// The path as catalogues hold it ('/', UTF-8) and back.
std::string CatalogueForm(std::string_view native) {
    std::string text(native);
#ifdef _WIN32
    std::string utf8;
    if (AnsiToUtf8(text, utf8)) {
        text = std::move(utf8);
    }
    std::replace(text.begin(), text.end(), '\\', '/');
#endif
    return text;
}

std::string NativeForm(std::string text) {
#ifdef _WIN32
    std::string ansi;
    if (Utf8ToAnsi(text, ansi)) {
        text = std::move(ansi);
    }
    ReplaceDelimiters(text, '/', kPathDelimiter, kNativeCodepage);
#endif
    return text;
}

// The name of the folder that holds the catalogue.
std::string SetName(const std::string& catalogue) {
    std::string folder = catalogue;
    while (!folder.empty() && folder.back() != '/' && folder.back() != kPathDelimiter) {
        folder.pop_back();
    }
    if (!folder.empty()) {
        folder.pop_back();
    }
    std::size_t start = folder.size();
    while (start > 0 && folder[start - 1] != '/' && folder[start - 1] != kPathDelimiter) {
        --start;
    }
    return folder.substr(start);
}

}  // namespace

bool PathMatches(std::string_view pattern, std::string_view path) {
    if (pattern.find_first_of("*?[") == std::string_view::npos) {
        return std::search(path.begin(), path.end(), pattern.begin(), pattern.end(),
                           [](char a, char b) { return Lower(a) == Lower(b); }) != path.end() ||
               pattern.empty();
    }
    if (pattern.find('/') == std::string_view::npos) {
        const std::size_t slash = path.rfind('/');
        return Glob(pattern, slash == std::string_view::npos ? path : path.substr(slash + 1));
    }
    return Glob(pattern, path);
}

std::vector<std::string> FindCatalogues(const std::string& destinationFolder) {
    std::vector<std::string> found;
    const std::string root = AddTrailingBackslash(destinationFolder);
    auto top = Folder::Open(root);
    DirListing sets;
    if (!top || !top->List({}, sets)) {
        return found;
    }
    for (const DirListing::Entry& set : sets.Entries()) {
        if (set.kind != EntryKind::Folder) {
            continue;
        }
        const std::string folder = root + std::string(sets.Name(set)) + kPathDelimiter;
        auto inside = Folder::Open(folder);
        DirListing files;
        if (!inside || !inside->List({}, files)) {
            continue;
        }
        for (const DirListing::Entry& f : files.Entries()) {
            const std::string_view name = files.Name(f);
            if (f.kind == EntryKind::File && name.starts_with("_catalog_") && name.ends_with(".tsv")) {
                found.push_back(folder + std::string(name));
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

CatalogueSearch SearchCatalogues(const std::vector<std::string>& catalogues, std::string_view pattern) {
    CatalogueSearch search;
    const std::string wanted = CatalogueForm(pattern);
    for (const std::string& name : catalogues) {
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(name.c_str(), "rb"), &std::fclose);
        if (!in) {
            search.unreadable.push_back(name);
            continue;
        }
        const std::string set = SetName(name);
        std::string text;
        CatalogueLine line;
        char chunk[1 << 16];
        std::size_t n = 0;
        std::string rest;
        auto take = [&](std::string_view one) {
            if (ParseCatalogueLine(one, line) && PathMatches(wanted, line.path)) {
                search.hits.push_back({set, line.disc, NativeForm(line.path), line.size, line.sha256});
            }
        };
        while ((n = std::fread(chunk, 1, sizeof chunk, in.get())) > 0) {
            rest.append(chunk, n);
            std::size_t at = 0;
            for (std::size_t end; (end = rest.find('\n', at)) != std::string::npos; at = end + 1) {
                take(std::string_view(rest).substr(at, end - at));
            }
            rest.erase(0, at);
        }
        if (std::ferror(in.get()) != 0) {
            search.unreadable.push_back(name);
        }
        take(rest);
    }
    return search;
}

}  // namespace stowra
