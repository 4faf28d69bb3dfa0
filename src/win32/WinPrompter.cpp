#include "win32/WinPrompter.h"

#include <algorithm>

#include "platform/Translation.h"
#include "win32/WinText.h"
#include "win32/resource.h"

namespace stowra {

namespace {

UINT IconFlag(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Stop:
            return MB_ICONSTOP;
        case MessageIcon::Exclamation:
            return MB_ICONEXCLAMATION;
        case MessageIcon::Information:
            return MB_ICONINFORMATION;
        case MessageIcon::Question:
            return MB_ICONQUESTION;
        case MessageIcon::None:
            break;
    }
    return 0;
}

LPCSTR IconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Stop:
            return IDI_HAND;
        case MessageIcon::Exclamation:
            return IDI_EXCLAMATION;
        case MessageIcon::Information:
            return IDI_ASTERISK;
        case MessageIcon::Question:
        case MessageIcon::None:
            break;
    }
    return IDI_QUESTION;
}

struct Question {
    std::string text;
    std::string caption;
    MessageIcon icon;
};

// The system's boxes have no "Yes to all": the replace question is a dialog of its own with the
// four answers, laid out around its text.
INT_PTR CALLBACK ReplaceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* q = reinterpret_cast<const Question*>(lParam);
            SetWindowTextOf(dialog, q->caption);
            HWND text = ::GetDlgItem(dialog, IDC_REPLACE_TEXT);
            SetWindowTextOf(text, q->text);
            ::SendDlgItemMessageA(dialog, IDC_REPLACE_ICON, STM_SETICON,
                                  reinterpret_cast<WPARAM>(::LoadIconA(nullptr, IconName(q->icon))), 0);
            ::SetDlgItemTextA(dialog, IDYES, Tr("はい(&Y)"));
            ::SetDlgItemTextA(dialog, IDC_YES_ALL, Tr("すべてはい(&A)"));
            ::SetDlgItemTextA(dialog, IDNO, Tr("いいえ(&N)"));
            ::SetDlgItemTextA(dialog, IDCANCEL, Tr("キャンセル"));
            // The text's own height, the buttons below it.
            RECT box{};
            ::GetWindowRect(text, &box);
            ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
            RECT need{0, 0, box.right - box.left, 0};
            HDC dc = ::GetDC(text);
            HGDIOBJ old =
                ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(text, WM_GETFONT, 0, 0)));
            ::DrawTextA(dc, q->text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            ::SelectObject(dc, old);
            ::ReleaseDC(text, dc);
            const int grow = std::max<int>(0, need.bottom - (box.bottom - box.top));
            if (grow > 0) {
                ::SetWindowPos(text, nullptr, 0, 0, box.right - box.left, need.bottom,
                               SWP_NOMOVE | SWP_NOZORDER);
                for (int id : {IDYES, IDC_YES_ALL, IDNO, IDCANCEL}) {
                    HWND b = ::GetDlgItem(dialog, id);
                    RECT r{};
                    ::GetWindowRect(b, &r);
                    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
                    ::SetWindowPos(b, nullptr, r.left, r.top + grow, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
                }
                RECT w{};
                ::GetWindowRect(dialog, &w);
                ::SetWindowPos(dialog, nullptr, 0, 0, w.right - w.left, w.bottom - w.top + grow,
                               SWP_NOMOVE | SWP_NOZORDER);
            }
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDYES:
                case IDC_YES_ALL:
                case IDNO:
                case IDCANCEL:
                    ::EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

MessageAnswer WinPrompter::Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                               MessageButtons buttons) {
    const std::string body(text);
    const std::string title = caption.empty() ? std::string(kProgramCaption) : std::string(caption);
    ++asking_;
    struct Done {
        int& asking;
        ~Done() { --asking; }
    } done{asking_};
    HWND owner = Owner();
    // A box enables its owner when it closes; an owner held disabled (the main window while the
    // move runs) stays so.
    struct KeepDisabled {
        HWND owner;
        bool disabled;
        ~KeepDisabled() {
            if (disabled) {
                ::EnableWindow(owner, FALSE);
            }
        }
    } keep{owner, owner != nullptr && !::IsWindowEnabled(owner)};
    if (buttons == MessageButtons::YesAllNoCancel) {
        Question q{body, title, icon};
        switch (::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_REPLACE), owner,
                                  ReplaceProc, reinterpret_cast<LPARAM>(&q))) {
            case IDYES:
                return MessageAnswer::Yes;
            case IDC_YES_ALL:
                return MessageAnswer::YesToAll;
            case IDNO:
                return MessageAnswer::No;
            default:
                return MessageAnswer::Cancel;
        }
    }
    UINT flags = IconFlag(icon);
    switch (buttons) {
        case MessageButtons::Ok:
            flags |= MB_OK;
            break;
        case MessageButtons::OkCancel:
            flags |= MB_OKCANCEL;
            break;
        case MessageButtons::YesNo:
        case MessageButtons::YesAllNoCancel:
            flags |= MB_YESNO;
            break;
    }
    switch (::MessageBoxA(owner, body.c_str(), title.c_str(), flags)) {
        case IDOK:
            return MessageAnswer::Ok;
        case IDYES:
            return MessageAnswer::Yes;
        case IDNO:
            return MessageAnswer::No;
        default:
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
}

}  // namespace stowra
