#include "cli/JsonWriter.h"

#include <cmath>

#include "platform/Text.h"

namespace stowra::cli {

namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0 when it is not one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n;
    std::uint32_t cp;
    if (c < 0x80) {
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        n = 2, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4, cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and code points beyond U+10FFFF are not valid.
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        return 0;
    }
    return n;
}

#ifdef _WIN32
nlohmann::json WithUtf8Texts(const nlohmann::json& doc) {
    std::string utf8;
    auto text = [&](const std::string& native) { return AnsiToUtf8(native, utf8) ? utf8 : native; };
    if (doc.is_string()) {
        return text(doc.get_ref<const std::string&>());
    }
    if (doc.is_array()) {
        nlohmann::json out = nlohmann::json::array();
        for (const nlohmann::json& item : doc) {
            out.push_back(WithUtf8Texts(item));
        }
        return out;
    }
    if (doc.is_object()) {
        nlohmann::json out = nlohmann::json::object();
        for (const auto& [key, value] : doc.items()) {
            out[text(key)] = WithUtf8Texts(value);
        }
        return out;
    }
    return doc;
}
#endif

}  // namespace

std::string DumpJson(const nlohmann::json& doc) {
#ifdef _WIN32
    return WithUtf8Texts(doc).dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
#else
    return doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
#endif
}

bool JsonWriter::IsText(std::string_view text) {
#ifdef _WIN32
    std::string utf8;
    return AnsiToUtf8(text, utf8);
#endif
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = Utf8Length(text, i);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

std::string JsonWriter::Base64(std::string_view bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(kDigits[(v >> 18) & 63]);
        out.push_back(kDigits[(v >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=');
        out.push_back(i + 2 < bytes.size() ? kDigits[v & 63] : '=');
    }
    return out;
}

void JsonWriter::Indent() {
    std::fputc('\n', out_);
    for (std::size_t i = 0; i < levels_.size(); ++i) {
        std::fputs("  ", out_);
    }
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!levels_.empty()) {
        if (!levels_.back().empty) {
            std::fputc(',', out_);
        }
        levels_.back().empty = false;
        Indent();
    }
}

void JsonWriter::Open(char bracket) {
    BeforeValue();
    std::fputc(bracket, out_);
    levels_.push_back({});
}

void JsonWriter::Close(char bracket) {
    bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty) {
        Indent();
    }
    std::fputc(bracket, out_);
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    BeforeValue();
    Quoted(key);
    std::fputs(": ", out_);
    afterKey_ = true;
    return *this;
}

void JsonWriter::Quoted(std::string_view text) {
#ifdef _WIN32
    std::string utf8;
    if (AnsiToUtf8(text, utf8)) {
        QuotedUtf8(utf8);
        return;
    }
#endif
    QuotedUtf8(text);
}

void JsonWriter::QuotedUtf8(std::string_view text) {
    std::fputc('"', out_);
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = Utf8Length(text, i);
        if (n == 0) {
            std::fputs("\xEF\xBF\xBD", out_);  // U+FFFD for a byte that is not UTF-8
            ++i;
        } else if (c == '"' || c == '\\') {
            std::fputc('\\', out_);
            std::fputc(c, out_);
            ++i;
        } else if (c < 0x20) {
            switch (c) {
                case '\n':
                    std::fputs("\\n", out_);
                    break;
                case '\r':
                    std::fputs("\\r", out_);
                    break;
                case '\t':
                    std::fputs("\\t", out_);
                    break;
                case '\b':
                    std::fputs("\\b", out_);
                    break;
                case '\f':
                    std::fputs("\\f", out_);
                    break;
                default:
                    std::fprintf(out_, "\\u%04x", c);
                    break;
            }
            ++i;
        } else {
            std::fwrite(text.data() + i, 1, n, out_);
            i += n;
        }
    }
    std::fputc('"', out_);
}

void JsonWriter::String(std::string_view text) {
    BeforeValue();
    Quoted(text);
}

void JsonWriter::Unsigned(std::uint64_t value) {
    BeforeValue();
    std::fprintf(out_, "%llu", static_cast<unsigned long long>(value));
}

void JsonWriter::Integer(std::int64_t value) {
    BeforeValue();
    std::fprintf(out_, "%lld", static_cast<long long>(value));
}

void JsonWriter::Real(double value) {
    BeforeValue();
    if (!std::isfinite(value)) {
        std::fputs("null", out_);
        return;
    }
    // Shortest text that reads back as the same double, with a decimal point whatever the locale.
    std::string text = Format("%.17g", value);
    for (int precision = 6; precision < 17; ++precision) {
        std::string shorter = Format("%.*g", precision, value);
        if (std::strtod(shorter.c_str(), nullptr) == value) {
            text = shorter;
            break;
        }
    }
    std::fputs(text.c_str(), out_);
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    std::fputs(value ? "true" : "false", out_);
}

void JsonWriter::Null() {
    BeforeValue();
    std::fputs("null", out_);
}

void JsonWriter::Finish() {
    std::fputc('\n', out_);
    std::fflush(out_);
}

}  // namespace stowra::cli
