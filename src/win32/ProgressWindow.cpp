#include "win32/ProgressWindow.h"

#include <commctrl.h>

#include "platform/Translation.h"
#include "win32/WinText.h"
#include "win32/resource.h"

namespace stowra {

bool RunWaitingMessages(HWND dialog) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (dialog != nullptr && ::IsDialogMessageA(dialog, &msg)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return true;
}

INT_PTR CALLBACK ProgressWindow::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SetWindowTextOf(dialog, kProgramCaption);
        ::SetDlgItemTextA(dialog, IDCANCEL, Tr("キャンセル"));
        ::SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 1000);
        return TRUE;
    }
    auto* self = reinterpret_cast<ProgressWindow*>(::GetWindowLongPtrA(dialog, DWLP_USER));
    if (self != nullptr && message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        self->cancel_ = true;
        ::EnableWindow(::GetDlgItem(dialog, IDCANCEL), FALSE);
        return TRUE;
    }
    return FALSE;
}

void ProgressWindow::ShowProgress(const std::string& label, int permille) {
    if (dialog_ == nullptr) {
        dialog_ = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), owner_,
                                       Proc, reinterpret_cast<LPARAM>(this));
        if (dialog_ == nullptr) {
            return;
        }
        scope_ = std::make_unique<WinPrompter::Scope>(prompter_, dialog_);
        ::ShowWindow(dialog_, SW_SHOW);
    }
    ::SetDlgItemTextA(dialog_, IDC_PROGRESS_TEXT, label.c_str());
    ::SendDlgItemMessageA(dialog_, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(permille), 0);
    ::UpdateWindow(dialog_);
    RunWaitingMessages(dialog_);
}

void ProgressWindow::CloseProgress() {
    if (dialog_ == nullptr) {
        return;
    }
    scope_.reset();
    ::DestroyWindow(dialog_);
    dialog_ = nullptr;
}

}  // namespace stowra
