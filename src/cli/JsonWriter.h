#pragma once
// A JSON document written as it goes, straight to a stream: no tree of the whole document in
// memory, so a result of a million paths costs no more than printing it as text.
//
// Texts are the platform's bytes. JSON text must be UTF-8: bytes that are not valid UTF-8 are
// written as U+FFFD, and Bytes() gives the raw bytes in base64, for a "...Bytes" key beside such
// a text, so a script can still find the file.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace stowra::cli {

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

    static bool IsUtf8(std::string_view text);
    static std::string Base64(std::string_view bytes);

private:
    void Open(char bracket);
    void Close(char bracket);
    void BeforeValue();
    void Indent();
    void Quoted(std::string_view text);

    std::FILE* out_;
    struct Level {
        bool empty = true;
    };
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace stowra::cli
