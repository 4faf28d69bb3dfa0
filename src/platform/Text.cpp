#include "platform/Text.h"

#include <locale.h>

#include <cstdio>
#include <vector>

namespace stowra {

bool IsLeadByte(unsigned char c, Codepage cp) {
    if (cp == Codepage::Cp932) {
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    }
    return false;  // UTF-8 continuation bytes are never ASCII, so no byte hides a delimiter
}

namespace {

// Walks the text character by character and calls visit(position) for each single-byte character.
template <typename Visit>
void ForEachSingleByte(std::string_view text, Codepage cp, Visit visit) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsLeadByte(static_cast<unsigned char>(text[i]), cp) && i + 1 < text.size()) {
            i += 2;
        } else {
            visit(i);
            ++i;
        }
    }
}

}  // namespace

bool EndsWithDelimiter(std::string_view text, char delimiter, Codepage cp) {
    bool last = false;
    ForEachSingleByte(text, cp,
                      [&](std::size_t i) { last = (i + 1 == text.size()) && text[i] == delimiter; });
    return last;
}

std::string AddTrailingDelimiter(std::string_view text, char delimiter, Codepage cp) {
    std::string out(text);
    if (!out.empty() && !EndsWithDelimiter(text, delimiter, cp)) {
        out.push_back(delimiter);
    }
    return out;
}

std::size_t CountDelimiters(std::string_view text, char delimiter, Codepage cp) {
    std::size_t n = 0;
    ForEachSingleByte(text, cp, [&](std::size_t i) { n += text[i] == delimiter ? 1 : 0; });
    return n;
}

void ReplaceDelimiters(std::string& text, char from, char to, Codepage cp) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(text[i]), cp)) {
            ++i;
        } else if (text[i] == from) {
            text[i] = to;
        }
    }
}

std::string AddTrailingBackslash(std::string_view text) {
    return AddTrailingDelimiter(text, kPathDelimiter, kNativeCodepage);
}

namespace {

#ifdef _WIN32
// Windows programs keep the C locale's numbers unless they ask for the user's; the programs here
// ask only for the character type (LC_CTYPE), so there is nothing to switch.
struct ClassicNumbers {};
#else
// Numbers are always written with a decimal point, as every format of the program shows them,
// whatever the user's locale says (a German locale would give "600,0000 KiB"). The C locale is
// made once and never changed; switching to it is per thread, so other threads are unaffected.
class ClassicNumbers {
public:
    ClassicNumbers() : previous_(Classic() ? ::uselocale(Classic()) : nullptr) {}
    ~ClassicNumbers() {
        if (previous_ != nullptr) {
            ::uselocale(previous_);
        }
    }
    ClassicNumbers(const ClassicNumbers&) = delete;
    ClassicNumbers& operator=(const ClassicNumbers&) = delete;

private:
    static locale_t Classic() {
        static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        return c;
    }
    locale_t previous_;
};
#endif

}  // namespace

std::string FormatV(const char* format, va_list args) {
    [[maybe_unused]] ClassicNumbers classic;
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) {
        return {};
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        return std::string(small, static_cast<std::size_t>(n));
    }
    std::string out(static_cast<std::size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

}  // namespace stowra
