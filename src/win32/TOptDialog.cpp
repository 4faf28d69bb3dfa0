#include "win32/TOptDialog.h"

#include <string>

#include "platform/Translation.h"
#include "win32/resource.h"

namespace stowra {

namespace {

// The check boxes in the order of the form.
const char* const kChecks[8] = {
    "CD-Rの場合はATIP情報も自動取得する",
    "隠し属性ファイルを対象にする（※推奨しません）",
    "システム属性ファイルを対象にする（※推奨しません）",
    "メディア毎の詰め込み一覧ファイルを出力する",
    "対象ファイル移動後の空フォルダを削除する",
    "メディア設定のスラックサイズを有効にする",
    "満杯にならない残りのファイルも最後のメディアにまとめる",
    "メディア毎にチェックサム（SHA-256）ファイルを出力する",
};

}  // namespace

TOptDialog::TOptDialog(WinPrompter& prompter) : ModalDialog(prompter, IDD_OPTIONS) {}

void TOptDialog::Init() {
    ::SetWindowTextA(Handle(), Tr("オプション"));
    ::SetDlgItemTextA(Handle(), IDC_MIN_LABEL, Tr("バイト以下のファイルを対象外にする"));
    ::SetDlgItemTextA(Handle(), IDCANCEL, Tr("キャンセル"));
    EditMin.Attach(Item(IDC_MIN), FieldEdit::Keys::DigitsNoEscape);
    for (int i = 0; i < 8; ++i) {
        ::SetDlgItemTextA(Handle(), IDC_CHECK_FIRST + i, Tr(kChecks[i]));
        ::CheckDlgButton(Handle(), IDC_CHECK_FIRST + i,
                         form.checks[static_cast<std::size_t>(i)] ? BST_CHECKED : BST_UNCHECKED);
    }
    EditMin.SetText(std::to_string(form.minSize));
    EditMinExit();
}

bool TOptDialog::EditMinExit() {
    return EditMin.TakeValue(Messages(), TakeMinimumSize);
}

bool TOptDialog::Command(int id, int code) {
    if (id == IDC_MIN && code == EN_CHANGE) {
        ::InvalidateRect(EditMin.Handle(), nullptr, TRUE);  // yellow while empty
        return true;
    }
    return false;
}

INT_PTR TOptDialog::Other(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kFieldLeft) {
        if (::IsWindowEnabled(Handle())) {
            EditMinExit();
        }
        return TRUE;
    }
    if (message == WM_CTLCOLOREDIT && reinterpret_cast<HWND>(lParam) == EditMin.Handle()) {
        return reinterpret_cast<INT_PTR>(
            FieldBackground(EditMin.Handle(), reinterpret_cast<HDC>(wParam), yellow_.get()));
    }
    return FALSE;
}

void TOptDialog::Ok() {
    // OK reads the value of the text shown, as if the field had been left first.
    if (!EditMinExit()) {
        ::SetFocus(EditMin.Handle());
        return;
    }
    form.minSize = EditMin.value;
    for (int i = 0; i < 8; ++i) {
        form.checks[static_cast<std::size_t>(i)] =
            ::IsDlgButtonChecked(Handle(), IDC_CHECK_FIRST + i) == BST_CHECKED;
    }
    End(IDOK);
}

}  // namespace stowra
