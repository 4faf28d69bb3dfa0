#pragma once
// The text of a window or control, as bytes of the ANSI code page: the same bytes the rest of the
// program keeps its texts and paths in, so nothing is converted on the way.

#include <windows.h>

#include <string>

namespace stowra {

std::string WindowText(HWND window);
void SetWindowTextOf(HWND window, const std::string& text);
inline std::string ItemText(HWND dialog, int id) {
    return WindowText(::GetDlgItem(dialog, id));
}
// The size of a text in the window's font, in pixels.
SIZE TextExtent(HWND window, const std::string& text);

}  // namespace stowra
