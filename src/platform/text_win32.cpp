#include <windows.h>

#include <vector>

#include "platform/Text.h"

namespace stowra {

bool AppendAnsiCodePoints(std::string_view bytes, std::u32string& out) {
    std::size_t i = 0;
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) {
        out.push_back(static_cast<unsigned char>(bytes[i++]));
    }
    if (i == bytes.size()) {
        return true;
    }
    std::string_view rest = bytes.substr(i);
    int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, rest.data(), static_cast<int>(rest.size()),
                                  nullptr, 0);
    if (n <= 0) {
        // Bytes the code page has no character for each stand for one '_'.
        for (char c : rest) {
            out.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<unsigned char>(c) : U'_');
        }
        return false;
    }
    std::vector<wchar_t> wide(static_cast<std::size_t>(n));
    ::MultiByteToWideChar(CP_ACP, 0, rest.data(), static_cast<int>(rest.size()), wide.data(), n);
    for (std::size_t k = 0; k < wide.size(); ++k) {
        char32_t c = static_cast<char16_t>(wide[k]);
        if (c >= 0xD800 && c < 0xDC00 && k + 1 < wide.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(wide[++k]) - 0xDC00);
        }
        out.push_back(c);
    }
    return false;
}

bool AnsiToUtf8(std::string_view text, std::string& utf8) {
    utf8.clear();
    if (text.empty()) {
        return true;
    }
    int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                  nullptr, 0);
    if (n <= 0) {
        return false;
    }
    std::vector<wchar_t> wide(static_cast<std::size_t>(n));
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    int m = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(m));
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, utf8.data(), m, nullptr, nullptr);
    return true;
}

bool Utf8ToAnsi(std::string_view utf8, std::string& ansi) {
    ansi.clear();
    if (utf8.empty()) {
        return true;
    }
    int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                  nullptr, 0);
    if (n <= 0) {
        return false;
    }
    std::vector<wchar_t> wide(static_cast<std::size_t>(n));
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    BOOL lossy = FALSE;
    int m = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr, &lossy);
    ansi.resize(static_cast<std::size_t>(m > 0 ? m : 0));
    if (m > 0) {
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, ansi.data(), m, nullptr, &lossy);
    }
    return m > 0 && !lossy;
}

}  // namespace stowra
