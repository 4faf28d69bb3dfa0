#include "win32/ModalDialog.h"

#include <exception>

#include "fileio/LExcept.h"

namespace stowra {

bool ModalDialog::Run(HWND owner) {
    const INT_PTR result = ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(template_), owner,
                                             Proc, reinterpret_cast<LPARAM>(this));
    scope_.reset();
    dialog_ = nullptr;
    return result == IDOK;
}

void ModalDialog::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const LExcept& e) {
        prompter_.Ask(e.message, "", MessageIcon::Stop, MessageButtons::Ok);
    } catch (const std::exception& e) {
        prompter_.Ask(e.what(), "", MessageIcon::Stop, MessageButtons::Ok);
    }
}

INT_PTR CALLBACK ModalDialog::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<ModalDialog*>(lParam);
        ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        self->dialog_ = dialog;
        self->scope_ = std::make_unique<WinPrompter::Scope>(self->prompter_, dialog);
        self->Guarded([self] { self->Init(); });
        return TRUE;
    }
    auto* self = reinterpret_cast<ModalDialog*>(::GetWindowLongPtrA(dialog, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        self->scope_.reset();
        return FALSE;
    }
    INT_PTR result = FALSE;
    self->Guarded([&] { result = self->Dispatch(message, wParam, lParam); });
    return result;
}

INT_PTR ModalDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (Command(id, code)) {
            return TRUE;
        }
        if (id == IDOK && code == BN_CLICKED) {
            Ok();
            return TRUE;
        }
        if (id == IDCANCEL) {
            Cancel();
            return TRUE;
        }
        return FALSE;
    }
    return Other(message, wParam, lParam);
}

}  // namespace stowra
