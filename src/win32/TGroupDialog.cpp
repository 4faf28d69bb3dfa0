#include "win32/TGroupDialog.h"

#include "platform/Translation.h"
#include "win32/resource.h"

namespace stowra {

TGroupDialog::TGroupDialog(WinPrompter& prompter) : ModalDialog(prompter, IDD_GROUP) {}

void TGroupDialog::Init() {
    HWND d = Handle();
    ::SetWindowTextA(d, Tr("簡易グループ化の設定"));
    ::SetDlgItemTextA(d, IDC_GROUP_FRAME, Tr("簡易グループ化の設定"));
    ::SetDlgItemTextA(d, IDC_GROUP_ITEM0, Tr("なし"));
    ::SetDlgItemTextA(d, IDC_GROUP_ITEM1, Tr("階層末端のフォルダ内のファイルは一つにまとめて扱う"));
    ::SetDlgItemTextA(d, IDC_GROUP_ITEM2, Tr("直下のサブフォルダ配下のファイルは一つにまとめて扱う"));
    ::SetDlgItemTextA(d, IDC_GROUP_NOTE,
                      Tr("簡易グループ化を設定すると、\n"
                         "見かけのファイルサイズが大きくなるため、\n"
                         "うまい組み合わせが見つからなくなる可能性が高まります。\n"
                         "ご注意ください。"));
    ::SetDlgItemTextA(d, IDCANCEL, Tr("キャンセル"));
    ::CheckRadioButton(d, IDC_GROUP_ITEM0, IDC_GROUP_ITEM2,
                       IDC_GROUP_ITEM0 + (item >= 0 && item < 3 ? item : 0));
}

INT_PTR TGroupDialog::Other(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == Item(IDC_GROUP_NOTE)) {
        auto dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, RGB(0, 0, 255));
        ::SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    return FALSE;
}

void TGroupDialog::Ok() {
    for (int i = 0; i < 3; ++i) {
        if (::IsDlgButtonChecked(Handle(), IDC_GROUP_ITEM0 + i) == BST_CHECKED) {
            item = i;
        }
    }
    End(IDOK);
}

}  // namespace stowra
