#pragma once
// A dialog of the program, laid out in the resources, created for one use, shown modally and
// destroyed. Its message boxes belong to it while it is open, and an error escaping one of its
// handlers is shown in a box over it while the dialog goes on.

#include <windows.h>

#include <functional>
#include <memory>

#include "win32/WinPrompter.h"

namespace stowra {

class ModalDialog {
public:
    ModalDialog(WinPrompter& prompter, int templateId) : prompter_(prompter), template_(templateId) {}
    virtual ~ModalDialog() = default;
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    // True when the user closed it with OK.
    bool Run(HWND owner);
    HWND Handle() const { return dialog_; }
    HWND Item(int id) const { return ::GetDlgItem(dialog_, id); }
    WinPrompter& Messages() { return prompter_; }

protected:
    virtual void Init() = 0;
    // A control's command; true when handled. OK and Cancel reach Ok() and Cancel().
    virtual bool Command(int /*id*/, int /*code*/) { return false; }
    // Any other message; nonzero when handled.
    virtual INT_PTR Other(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return FALSE; }
    virtual void Ok() { End(IDOK); }
    virtual void Cancel() { End(IDCANCEL); }
    void End(int result) { ::EndDialog(dialog_, result); }
    // Runs a handler; an error that escapes it is said in a box, and the dialog goes on.
    void Guarded(const std::function<void()>& handler);

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    WinPrompter& prompter_;
    int template_;
    HWND dialog_ = nullptr;
    std::unique_ptr<WinPrompter::Scope> scope_;
};

}  // namespace stowra
