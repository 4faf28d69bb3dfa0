#pragma once
// "簡易グループ化の設定": none, leaf-folder grouping or subfolder grouping.

#include "win32/ModalDialog.h"

namespace stowra {

class TGroupDialog : public ModalDialog {
public:
    explicit TGroupDialog(WinPrompter& prompter);
    int item = 0;  // the radio item shown when it opens, and chosen when OK closed it

protected:
    void Init() override;
    INT_PTR Other(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Ok() override;
};

}  // namespace stowra
