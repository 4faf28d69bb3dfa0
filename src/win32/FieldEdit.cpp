#include "win32/FieldEdit.h"

#include <commctrl.h>
#include <shellapi.h>

#include "platform/Folder.h"
#include "win32/WinHandles.h"
#include "win32/WinText.h"

namespace stowra {

namespace {

constexpr UINT_PTR kSubclassId = 0x5354;  // one subclass of our own per edit

bool IsKeyForField(const MSG* msg) {
    return msg != nullptr && msg->message == WM_KEYDOWN &&
           (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
}

// A full-width digit of code page 932 ("０" to "９", 0x824F to 0x8258), as an input method
// types it, as its ASCII digit; 0 for anything else.
char FullWidthDigit(unsigned lead, unsigned trail) {
    return lead == 0x82 && trail >= 0x4F && trail <= 0x58 ? static_cast<char>('0' + (trail - 0x4F)) : '\0';
}

// The digits of pasted text, full-width ones as ASCII; nothing when anything else is in it, so a
// paste lands whole or not at all.
bool DigitsOf(const std::string& text, std::string& digits) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= '0' && c <= '9') {
            digits += static_cast<char>(c);
        } else if (i + 1 < text.size() &&
                   FullWidthDigit(c, static_cast<unsigned char>(text[i + 1])) != '\0') {
            digits += FullWidthDigit(c, static_cast<unsigned char>(text[i + 1]));
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

std::string ClipboardText(HWND owner) {
    std::string text;
    if (!::OpenClipboard(owner)) {
        return text;
    }
    if (HANDLE data = ::GetClipboardData(CF_TEXT)) {
        if (const auto* bytes = static_cast<const char*>(::GlobalLock(data))) {
            text = bytes;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

// The first dropped path in the ANSI code page, at most 260 bytes with its terminating zero; the
// empty text when it is longer, or when it has characters the code page cannot spell: the look-alike
// bytes the system would put for them name another folder, or none.
std::string FirstDroppedPath(HDROP drop) {
    wchar_t wide[MAX_PATH * 4] = {};
    if (::DragQueryFileW(drop, 0, wide, MAX_PATH * 4) == 0) {
        return {};
    }
    char path[MAX_PATH] = {};
    BOOL lossy = FALSE;
    const int n =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, path, MAX_PATH, nullptr, &lossy);
    return n > 0 && !lossy ? std::string(path) : std::string();
}

}  // namespace

void FieldEdit::Attach(HWND edit, Keys keys) {
    Detach();
    edit_ = edit;
    keys_ = keys;
    ::SetWindowSubclass(edit_, Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void FieldEdit::Detach() {
    if (edit_ == nullptr) {
        return;
    }
    if (drops_) {
        ::DragAcceptFiles(edit_, FALSE);
        drops_ = false;
    }
    ::RemoveWindowSubclass(edit_, Proc, kSubclassId);
    edit_ = nullptr;
}

void FieldEdit::AcceptFolderDrops() {
    drops_ = true;
    ::DragAcceptFiles(edit_, TRUE);
}

bool FieldEdit::DropPath(const std::string& path) {
    if (path.empty() || !FolderExists(path)) {
        return false;
    }
    SetText(path);
    return true;
}

std::string FieldEdit::Text() const {
    return WindowText(edit_);
}

void FieldEdit::SetText(const std::string& text) {
    SetWindowTextOf(edit_, text);
}

void FieldEdit::UndoOnce() {
    if (::SendMessageA(edit_, EM_CANUNDO, 0, 0) != 0) {
        ::SendMessageA(edit_, EM_UNDO, 0, 0);
        // Forget the rest of the history, so a second Escape changes nothing.
        ::SendMessageA(edit_, EM_EMPTYUNDOBUFFER, 0, 0);
    }
}

bool FieldEdit::TakeValue(Prompter& errors, NumberTaken (*take)(std::string_view)) {
    const std::string shown = Text();
    const NumberTaken taken = take(shown);
    if (taken.text != shown) {
        SetText(taken.text);
    }
    if (!taken.value) {
        errors.Ask(taken.problem, "", MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    value = *taken.value;
    return true;
}

void FieldEdit::Paste() {
    std::string digits;
    if (!DigitsOf(ClipboardText(edit_), digits)) {
        ::MessageBeep(MB_OK);
        return;
    }
    if (!digits.empty()) {
        ::SendMessageA(edit_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(digits.c_str()));
    }
}

LRESULT CALLBACK FieldEdit::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                 DWORD_PTR self) {
    auto* field = reinterpret_cast<FieldEdit*>(self);
    if (field == nullptr || field->edit_ != window) {
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    return field->OnMessage(message, wParam, lParam);
}

LRESULT FieldEdit::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETDLGCODE:
            // Enter and Escape belong to the field: no default button, no closing dialog.
            if (IsKeyForField(reinterpret_cast<const MSG*>(lParam))) {
                return DLGC_WANTALLKEYS | ::DefSubclassProc(edit_, message, wParam, lParam);
            }
            break;
        case WM_CHAR: {
            const auto c = static_cast<unsigned>(wParam);
            if (c == VK_ESCAPE) {
                if (keys_ != Keys::DigitsNoEscape) {
                    UndoOnce();
                }
                return 0;
            }
            if (c == VK_RETURN || c == '\n') {
                return 0;
            }
            // Letters, signs, blanks and the bytes of double-byte characters never reach a
            // numeric field; backspace and the editing keys (Ctrl+C, V, X, Z) pass.
            if (Numeric() && c >= 0x20 && (c < '0' || c > '9')) {
                return 0;
            }
            break;
        }
        case WM_IME_CHAR:
            if (Numeric()) {
                const char digit = FullWidthDigit((wParam >> 8) & 0xFF, wParam & 0xFF);
                if (digit != '\0') {
                    return ::DefSubclassProc(edit_, WM_CHAR, static_cast<WPARAM>(digit), lParam);
                }
                return 0;
            }
            break;
        case WM_PASTE:
            if (Numeric()) {
                Paste();
                return 0;
            }
            break;
        case WM_KILLFOCUS: {
            // Leaving counts only for another field of the same window: a button keeps the field
            // as it is (OK takes every field itself, Cancel abandons them), and a message box or
            // another program taking the focus is no leaving at all.
            const LRESULT result = ::DefSubclassProc(edit_, message, wParam, lParam);
            auto next = reinterpret_cast<HWND>(wParam);
            HWND parent = ::GetParent(edit_);
            if (next != nullptr && next != edit_ && ::GetParent(next) == parent) {
                char cls[16] = {};
                ::GetClassNameA(next, cls, sizeof cls);
                const bool button = ::lstrcmpiA(cls, "Button") == 0 &&
                                    (::GetWindowLongA(next, GWL_STYLE) & BS_TYPEMASK) <= BS_DEFPUSHBUTTON;
                if (!button) {
                    ::PostMessageA(parent, kFieldLeft, static_cast<WPARAM>(::GetDlgCtrlID(edit_)), 0);
                }
            }
            return result;
        }
        case WM_DROPFILES: {
            auto drop = reinterpret_cast<HDROP>(wParam);
            const std::string path = FirstDroppedPath(drop);
            ::DragFinish(drop);
            if (drops_) {
                DropPath(path);
            }
            return 0;
        }
        case WM_NCDESTROY: {
            HWND edit = edit_;
            Detach();
            return ::DefSubclassProc(edit, message, wParam, lParam);
        }
        default:
            break;
    }
    return ::DefSubclassProc(edit_, message, wParam, lParam);
}

HBRUSH FieldBackground(HWND edit, HDC dc, HBRUSH yellow) {
    if (::GetWindowTextLengthA(edit) == 0 && ::IsWindowEnabled(edit)) {
        ::SetBkColor(dc, kEmptyFieldColor);
        return yellow;
    }
    return nullptr;
}

}  // namespace stowra
