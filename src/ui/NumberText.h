#pragma once
// The text of a numeric field as every form of the program reads it: a signed 32-bit integer in
// ASCII digits, an empty field counting as "0".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace stowra {

// The text as a signed 32-bit integer, or nothing when it is not one: an optional sign, then
// ASCII digits only; blanks around it are refused.
std::optional<std::int32_t> ParseInt32(std::string_view text);

// The digit a character stands for: "0" to "9", and the full-width "０" to "９" that a Japanese
// input method gives, as the ASCII digit. Nothing for any other character.
std::optional<char> AsciiDigit(char32_t c);

// What leaving a numeric field makes of its text.
struct NumberTaken {
    std::string text;                   // the text the field shows afterwards ("0" for an empty one)
    std::optional<std::int32_t> value;  // nothing when the text is not an integer
    std::string problem;                // the message for that case, already translated
};
NumberTaken TakeNumber(std::string_view text);

// The minimum file size of the options form: a negative number becomes 0, text and value alike.
NumberTaken TakeMinimumSize(std::string_view text);

}  // namespace stowra
