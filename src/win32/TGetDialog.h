#pragma once
// "メディアサイズ自動取得": the user picks the drive that holds the blank disc. The transport is
// the caller's; the dialog selects the confirmed drive in it.

#include "drive/SCSI.h"
#include "win32/ModalDialog.h"
#include "win32/resource.h"

namespace stowra {

class TGetDialog : public ModalDialog {
public:
    TGetDialog(WinPrompter& prompter, SCSI& transport)
        : ModalDialog(prompter, IDD_DRIVE), transport_(transport) {}

protected:
    void Init() override;
    void Ok() override;

private:
    SCSI& transport_;
};

}  // namespace stowra
