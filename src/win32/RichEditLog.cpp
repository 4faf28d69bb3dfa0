#include "win32/RichEditLog.h"

#include <richedit.h>

#include <string>

namespace stowra {

void RichEditLog::Clear() {
    ::SetWindowTextA(edit_, "");
    color_ = LogColor::WindowText;
}

void RichEditLog::Insert(std::string_view text) {
    // Line feeds become the control's paragraph ends.
    std::string native;
    native.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '\n') {
            native += '\r';
        } else {
            native += c;
        }
    }
    GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE, CP_ACP};
    const auto end =
        static_cast<LONG>(::SendMessageA(edit_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
    CHARRANGE at{end, end};
    ::SendMessageA(edit_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&at));
    CHARFORMAT2A format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR;
    switch (color_) {
        case LogColor::WindowText:
            format.dwEffects = CFE_AUTOCOLOR;
            break;
        case LogColor::Red:
            format.crTextColor = RGB(255, 0, 0);
            break;
        case LogColor::Blue:
            format.crTextColor = RGB(0, 0, 255);
            break;
    }
    ::SendMessageA(edit_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    ::SendMessageA(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(native.c_str()));
    ::SendMessageA(edit_, WM_VSCROLL, SB_BOTTOM, 0);
}

void RichEditLog::Repaint() {
    // Long work follows without a return to the message loop, so what must be seen is painted
    // now, whole: a view painted only where it changed would keep showing rows of a result it
    // no longer holds.
    ::RedrawWindow(edit_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    for (HWND view : alongside_) {
        ::RedrawWindow(view, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

}  // namespace stowra
