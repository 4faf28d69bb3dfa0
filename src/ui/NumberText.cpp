#include "ui/NumberText.h"

#include <limits>

#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

std::optional<std::int32_t> ParseInt32(std::string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        i = 1;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
            return std::nullopt;  // stops before a long run of digits could overflow
        }
    }
    const std::int64_t v = negative ? -magnitude : magnitude;
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(v);
}

std::optional<char> AsciiDigit(char32_t c) {
    if (c >= U'0' && c <= U'9') {
        return static_cast<char>(c);
    }
    if (c >= U'０' && c <= U'９') {
        return static_cast<char>('0' + (c - U'０'));
    }
    return std::nullopt;
}

NumberTaken TakeNumber(std::string_view text) {
    NumberTaken taken;
    if (text.empty()) {
        taken.text.push_back('0');
    } else {
        taken.text.assign(text.data(), text.size());
    }
    taken.value = ParseInt32(taken.text);
    if (!taken.value) {
        taken.problem = Format(Tr("'%s' は整数ではありません"), taken.text.c_str());
    }
    return taken;
}

NumberTaken TakeMinimumSize(std::string_view text) {
    NumberTaken taken = TakeNumber(text);
    if (taken.value && *taken.value < 0) {
        taken.value = 0;
        taken.text.assign(1, '0');
    }
    return taken;
}

}  // namespace stowra
