#pragma once
// A JSON document written as it goes, straight to a stream: no tree of the whole document in
// memory, so a result of a million paths costs no more than printing it as text.
//
// Texts are the platform's bytes (UTF-8 on Linux, the ANSI code page on Windows, converted to
// UTF-8 here). JSON text must be UTF-8: bytes that are no character of the platform's encoding are
// written as U+FFFD, and Base64() gives the raw bytes, for a "...Bytes" key beside such a text, so
// a script can still find the file.

#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace stowra::cli {

// A document built as a tree, as JSON text: its texts converted from the platform's encoding to
// UTF-8 first (on Windows), bytes that are no character written as U+FFFD.
std::string DumpJson(const nlohmann::json& doc);

class JsonWriter {
public:
    explicit JsonWriter(std::FILE* out) : out_(out) {}

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    JsonWriter& Key(std::string_view key);
    void String(std::string_view text);
    void Unsigned(std::uint64_t value);
    void Integer(std::int64_t value);
    void Real(double value);
    void Bool(bool value);
    void Null();
    // Ends the document with a line feed.
    void Finish();

    // True when the text is whole characters of the platform's encoding.
    static bool IsText(std::string_view text);
    static std::string Base64(std::string_view bytes);

private:
    void Open(char bracket);
    void Close(char bracket);
    void BeforeValue();
    void Indent();
    void Quoted(std::string_view text);
    void QuotedUtf8(std::string_view text);

    std::FILE* out_;
    struct Level {
        bool empty = true;
    };
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace stowra::cli
