#include "win32/TGetDialog.h"

#include "drive/DriveList.h"
#include "platform/Translation.h"
#include "win32/BusyCursor.h"
#include "win32/resource.h"

namespace stowra {

void TGetDialog::Init() {
    ::SetWindowTextA(Handle(), Tr("メディアサイズ自動取得"));
    ::SetDlgItemTextA(Handle(), IDC_DRIVE_LABEL, Tr("空メディアの入っているドライブを選択してください"));
    // The list lets only its lines be chosen: nothing else could be confirmed.
    const WaitCursor wait;
    HWND list = Item(IDC_DRIVE_LIST);
    for (const DriveLine& line : ListDriveLines(transport_)) {
        ::SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.Text().c_str()));
    }
    const bool any = ::SendMessageA(list, CB_GETCOUNT, 0, 0) > 0;
    ::SendMessageA(list, CB_SETCURSEL, any ? 0 : static_cast<WPARAM>(-1), 0);
    ::EnableWindow(Item(IDOK), any ? TRUE : FALSE);
}

void TGetDialog::Ok() {
    const auto index = ::SendMessageA(Item(IDC_DRIVE_LIST), CB_GETCURSEL, 0, 0);
    if (index < 0) {
        return;
    }
    {
        const WaitCursor wait;
        transport_.selectDevice(static_cast<int>(index));
    }
    End(IDOK);
}

}  // namespace stowra
