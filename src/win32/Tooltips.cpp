#include "win32/Tooltips.h"

#include <commctrl.h>

namespace stowra {

namespace {

TOOLINFOA ToolOf(HWND owner, HWND tool) {
    TOOLINFOA info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = owner;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    return info;
}

}  // namespace

Tooltips::~Tooltips() {
    if (tips_ != nullptr && ::IsWindow(tips_)) {
        ::DestroyWindow(tips_);
    }
}

void Tooltips::Create(HWND owner) {
    owner_ = owner;
    tips_ = ::CreateWindowExA(
        WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(tips_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(kTooltipVisibleMs, 0));
    ::SendMessageA(tips_, TTM_SETMAXTIPWIDTH, 0, 480);  // several lines where the text has them
}

void Tooltips::Set(HWND tool, const std::string& text) {
    if (tips_ == nullptr || tool == nullptr) {
        return;
    }
    TOOLINFOA info = ToolOf(owner_, tool);  // no text buffer: the question only asks whether it exists
    const bool known = ::SendMessageA(tips_, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)) != 0;
    info = ToolOf(owner_, tool);
    if (!known) {
        info.lpszText = const_cast<char*>(text.c_str());
        ::SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
        return;
    }
    info.lpszText = const_cast<char*>(text.c_str());
    ::SendMessageA(tips_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}

std::string Tooltips::Get(HWND tool) const {
    if (tips_ == nullptr) {
        return {};
    }
    char buffer[1024] = {};
    TOOLINFOA info = ToolOf(owner_, tool);
    info.lpszText = buffer;
    ::SendMessageA(tips_, TTM_GETTEXTA, sizeof buffer, reinterpret_cast<LPARAM>(&info));
    return buffer;
}

}  // namespace stowra
