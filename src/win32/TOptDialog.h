#pragma once
// "オプション": the minimum file size and eight option bits.

#include "ui/MainWindowModel.h"
#include "win32/FieldEdit.h"
#include "win32/ModalDialog.h"
#include "win32/WinHandles.h"

namespace stowra {

class TOptDialog : public ModalDialog {
public:
    explicit TOptDialog(WinPrompter& prompter);

    // The values shown when it opens, and those of the controls when OK closed it.
    OptionsForm form;
    FieldEdit EditMin;

    // Takes the text of EditMin into its value; false when the text is not an integer.
    bool EditMinExit();

protected:
    void Init() override;
    bool Command(int id, int code) override;
    INT_PTR Other(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Ok() override;

private:
    Brush yellow_ = SolidBrush(kEmptyFieldColor);
};

}  // namespace stowra
