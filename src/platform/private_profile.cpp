#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/Folder.h"
#include "platform/PrivateProfile.h"
#include "platform/Text.h"

namespace stowra {

namespace {

// A settings file is a few kilobytes; more than this is not a settings file, and reading stops.
constexpr std::size_t kReadLimit = std::size_t{16} << 20;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

bool IsQuoted(std::string_view s) {
    return s.size() >= 2 && IsQuote(s.front()) && s.front() == s.back();
}

// Quotes around a whole value are not part of it; they protect blanks at its ends.
std::string_view Unquote(std::string_view s) {
    return IsQuoted(s) ? s.substr(1, s.size() - 2) : s;
}

bool NeedsQuotes(std::string_view s) {
    return !s.empty() && (IsBlank(s.front()) || IsBlank(s.back()) || IsQuoted(s));
}

std::string Fold(std::string_view s, Codepage cp = kNativeCodepage) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c, cp)) {
            ++i;
        } else if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// Line breaks and NUL bytes would change the file's structure; they cannot be stored.
std::string Storable(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c != '\r' && c != '\n' && c != '\0') {
            out += c;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b, Codepage cp) {
    return a.size() == b.size() && Fold(a, cp) == Fold(b, cp);
}

std::optional<std::int32_t> ParseProfileInteger(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint64_t value = 0;
        for (char c : text.substr(2)) {
            int digit = HexDigit(c);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + static_cast<std::uint64_t>(digit);
            if (value > 0xFFFFFFFFu)
                return std::nullopt;
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    bool negative = !text.empty() && text[0] == '-';
    text.remove_prefix(negative ? 1 : 0);
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::int64_t{1} << 31)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

ProfileReader::ProfileReader(std::string_view text) {
    Parse(text);
}

ProfileReader ProfileReader::Load(const std::string& path) {
    // A pipe or a device would keep the reader waiting for ever; a folder holds nothing to read.
    if (PathExists(path) && !FileExists(path)) {
        return ProfileReader(std::string_view());
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    std::string text;
    if (file) {
        char chunk[65536];
        std::size_t n = 0;
        while (text.size() < kReadLimit && (n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
            text.append(chunk, n);
        }
    }
#ifdef _WIN32
    // Today's editors save UTF-8 (with a byte order mark or without): read as code page 932 its
    // names would be garbled (表ソフト as 陦ｨ繧ｽ繝輔ヨ) and found by no --profile. A file of code
    // page 932 with Japanese text in it is almost never valid UTF-8, so valid UTF-8 with non-ASCII
    // bytes is taken for UTF-8 and converted.
    const bool marked = text.starts_with("\xEF\xBB\xBF");
    const bool nonAscii = std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
    std::string ansi;
    if (nonAscii) {
        const bool exact = Utf8ToAnsi(std::string_view(text).substr(marked ? 3 : 0), ansi);
        if (exact || (marked && !ansi.empty())) {
            text = std::move(ansi);
        }
    }
#endif
    return ProfileReader(text);
}

void ProfileReader::Parse(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);  // a byte order mark left by an editor
    }
    constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::size_t current = none;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.find('\0') != std::string_view::npos) {
            continue;  // binary junk
        }
        line = Trim(line);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            // Without its closing bracket the header opens nothing, and the keys below it are not
            // taken into the section before it.
            std::size_t close = line.rfind(']');
            if (close == std::string_view::npos) {
                current = none;
                continue;
            }
            std::string name(line.substr(1, close - 1));
            auto [it, added] = index_.try_emplace(Fold(name), sections_.size());
            if (added) {
                sections_.push_back({std::move(name), {}});
            }
            current = it->second;
            continue;
        }
        std::size_t eq = line.find('=');
        if (current == none || eq == std::string_view::npos) {
            continue;
        }
        std::string_view key = Trim(line.substr(0, eq));
        if (!key.empty()) {
            sections_[current].values.try_emplace(Fold(key), Unquote(Trim(line.substr(eq + 1))));
        }
    }
}

std::vector<std::string> ProfileReader::SectionNames() const {
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const Section& s : sections_) {
        names.push_back(s.name);
    }
    return names;
}

const std::string* ProfileReader::Find(std::string_view section, std::string_view key) const {
    auto s = index_.find(Fold(section));
    if (s == index_.end()) {
        return nullptr;
    }
    const auto& values = sections_[s->second].values;
    auto v = values.find(Fold(key));
    return v == values.end() ? nullptr : &v->second;
}

std::int32_t ProfileReader::ReadInteger(std::string_view section, std::string_view key,
                                        std::int32_t def) const {
    const std::string* value = Find(section, key);
    return value ? ParseProfileInteger(*value).value_or(def) : def;
}

std::string ProfileReader::ReadString(std::string_view section, std::string_view key,
                                      std::string_view def) const {
    const std::string* value = Find(section, key);
    return value ? *value : std::string(def);
}

void ProfileWriter::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    std::string name = Storable(section);
    std::string keyName = Storable(Trim(key));
    auto [it, added] = index_.try_emplace(Fold(name), sections_.size());
    if (added) {
        sections_.push_back({std::move(name), {}});
    }
    Section* target = &sections_[it->second];
    for (auto& [k, v] : target->keys) {
        if (SameNameIgnoringCase(k, keyName)) {
            v = Storable(value);
            return;
        }
    }
    target->keys.emplace_back(std::move(keyName), Storable(value));
}

void ProfileWriter::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

std::string ProfileWriter::Text() const {
    std::string out;
    for (const Section& s : sections_) {
        out += "[" + s.name + "]\r\n";
        for (const auto& [key, value] : s.keys) {
            out += key + "=" + (NeedsQuotes(value) ? "\"" + value + "\"" : value) + "\r\n";
        }
    }
    return out;
}

}  // namespace stowra
