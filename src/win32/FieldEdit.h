#pragma once
// An edit control with the conventions every form of the program shares: Escape undoes the last
// change once, Enter is swallowed (no beep, no default button), a numeric field takes only digits
// from the keyboard, an input method or a paste and carries a signed 32-bit value beside its
// text, and a folder field takes the first folder dropped onto it from the shell. The edit keeps
// its own window procedure underneath; detaching gives it back unchanged.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "frontend/FrontEnd.h"
#include "ui/NumberText.h"

namespace stowra {

// Posted to the edit's parent when the user moves the focus from the field to another field of
// the same window; wParam is the edit's control id.
inline constexpr UINT kFieldLeft = WM_APP + 1;

class FieldEdit {
public:
    enum class Keys { Text, Digits, DigitsNoEscape };

    FieldEdit() = default;
    ~FieldEdit() { Detach(); }
    FieldEdit(const FieldEdit&) = delete;
    FieldEdit& operator=(const FieldEdit&) = delete;

    void Attach(HWND edit, Keys keys);
    void Detach();
    HWND Handle() const { return edit_; }

    // Folders dropped from the shell: the first dropped path, when it names a folder, becomes
    // the text; anything else changes nothing.
    void AcceptFolderDrops();
    bool DropPath(const std::string& path);

    std::string Text() const;
    void SetText(const std::string& text);
    bool Empty() const { return ::GetWindowTextLengthA(edit_) == 0; }
    void UndoOnce();

    // Leaving a numeric field, with the rule of the field (TakeNumber or TakeMinimumSize): the
    // text the rule gives is shown, and the value taken; text that is not an integer is reported
    // through `errors` and the value stays.
    bool TakeValue(Prompter& errors, NumberTaken (*take)(std::string_view) = TakeNumber);

    std::int32_t value = 0;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool Numeric() const { return keys_ != Keys::Text; }
    void Paste();

    HWND edit_ = nullptr;
    Keys keys_ = Keys::Text;
    bool drops_ = false;
};

// What a window answers to WM_CTLCOLOREDIT for a field: the yellow brush while it is empty,
// nothing (the system's colours) otherwise.
HBRUSH FieldBackground(HWND edit, HDC dc, HBRUSH yellow);

}  // namespace stowra
