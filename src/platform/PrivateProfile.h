#pragma once
// Private-profile (INI) files with the semantics of the Windows profile functions that the
// settings rely on, read and written by our own code on every platform.
//
// A line "[name]" opens a section; a line "key=value" sets a key of the current section. Section
// and key names match without regard to the letter case of ASCII letters; when a section or a key
// occurs more than once, its first occurrence wins. Lines end in CR LF or LF. Texts are bytes in
// the platform's multibyte encoding.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Text.h"

namespace stowra {

// True when the two names are equal once ASCII letters are folded to one case. The bytes of a
// double-byte character are never folded (a trail byte of code page 932 may look like a letter).
bool SameNameIgnoringCase(std::string_view a, std::string_view b, Codepage cp = kNativeCodepage);

// An integer value as the profile reader takes it: decimal with an optional minus sign, or
// hexadecimal after "0x" or "0X" (up to 32 bits, taken as a signed value). Anything else, or a
// decimal number outside the signed 32-bit range, is no integer.
std::optional<std::int32_t> ParseProfileInteger(std::string_view text);

class ProfileReader {
public:
    ProfileReader() = default;
    explicit ProfileReader(std::string_view text);
    // A missing or unreadable file reads as a file without sections.
    static ProfileReader Load(const std::string& path);

    // The names of the sections in file order, each once, spelled as it first occurs.
    std::vector<std::string> SectionNames() const;
    // The default when the section or the key is absent, or the value is not an integer.
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;

private:
    struct Section {
        std::string name;
        std::unordered_map<std::string, std::string> values;  // by folded key name
    };
    const std::string* Find(std::string_view section, std::string_view key) const;
    void Parse(std::string_view text);

    std::vector<Section> sections_;
    std::unordered_map<std::string, std::size_t> index_;  // folded section name -> sections_
};

// Builds a whole profile file in memory: sections in the order they were first written, keys in
// the order they were first written within their section; writing a key again replaces its value.
class ProfileWriter {
public:
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    // The file's text, every line ended by CR LF.
    std::string Text() const;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> keys;
    };
    std::vector<Section> sections_;
    std::unordered_map<std::string, std::size_t> index_;  // folded section name -> sections_
};

// Replaces the file's content in one step: the text goes into a new file beside it, which is
// flushed to the disk and then renamed over the old one. Returns false when the system refuses
// any step; the old file is then left as it was.
bool ReplaceFileContent(const std::string& path, std::string_view content);

}  // namespace stowra
