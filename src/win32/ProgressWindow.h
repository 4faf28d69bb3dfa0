#pragma once
// The move's progress on Windows: a small window over the disabled main window, with a label, a
// bar and Cancel. It runs the messages of the thread while it is shown, so it is painted and
// Cancel can be clicked while the move goes on.

#include <windows.h>

#include <memory>
#include <string>

#include "ui/MoveProgress.h"
#include "win32/WinPrompter.h"

namespace stowra {

class ProgressWindow : public ProgressView {
public:
    ProgressWindow(HWND owner, WinPrompter& prompter) : owner_(owner), prompter_(prompter) {}
    ~ProgressWindow() override { CloseProgress(); }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    void ShowProgress(const std::string& label, int permille) override;
    bool CancelRequested() override { return cancel_; }
    void CloseProgress() override;
    HWND Handle() const { return dialog_; }

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void RunMessages();

    HWND owner_;
    WinPrompter& prompter_;
    HWND dialog_ = nullptr;
    bool cancel_ = false;
    std::unique_ptr<WinPrompter::Scope> scope_;  // the replace question belongs to the progress
};

// Runs the waiting messages of the thread, with the keyboard of `dialog` when given; false when
// the program was asked to quit (the request is put back for the main loop).
bool RunWaitingMessages(HWND dialog);

}  // namespace stowra
