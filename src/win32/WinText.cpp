#include "win32/WinText.h"

#include <vector>

namespace stowra {

std::string WindowText(HWND window) {
    const int length = ::GetWindowTextLengthA(window);
    if (length <= 0) {
        return {};
    }
    // Some controls (RichEdit) count characters, not bytes: room for two bytes each.
    std::vector<char> buffer(static_cast<std::size_t>(length) * 2 + 1);
    const int got = ::GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

void SetWindowTextOf(HWND window, const std::string& text) {
    ::SetWindowTextA(window, text.c_str());
}

SIZE TextExtent(HWND window, const std::string& text) {
    SIZE size{0, 0};
    HDC dc = ::GetDC(window);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageA(window, WM_GETFONT, 0, 0));
    HGDIOBJ old = font != nullptr ? ::SelectObject(dc, font) : nullptr;
    ::GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
    if (old != nullptr) {
        ::SelectObject(dc, old);
    }
    ::ReleaseDC(window, dc);
    return size;
}

}  // namespace stowra
