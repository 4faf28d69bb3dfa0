#pragma once
// "メディア設定" on Windows: a profile's name, four numbers and the file system. The checks on
// OK, the list of common discs and the tooltips' texts are the form's; the dialog draws it.

#include <array>
#include <functional>

#include "ui/MediaForm.h"
#include "win32/FieldEdit.h"
#include "win32/ModalDialog.h"
#include "win32/Tooltips.h"
#include "win32/WinHandles.h"

namespace stowra {

class TMediaDialog : public ModalDialog {
public:
    explicit TMediaDialog(WinPrompter& prompter);

    // The rules and the values: those shown when the dialog opens, those of the fields when OK
    // closed it.
    MediaForm form;
    // The blank media probe behind "自動取得".
    std::function<void(TMediaDialog&)> probe;

    FieldEdit EditName, EditCluster, EditTotal, EditSystem, EditSlack;
    Tooltips tips;

    MediaValues Values() const;
    // Leave handling of a numeric field; false when its text is not an integer.
    bool EditClusterExit(FieldEdit& field);
    void EditClusterChange(FieldEdit& field);

protected:
    void Init() override;
    bool Command(int id, int code) override;
    INT_PTR Other(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Ok() override;

private:
    std::array<FieldEdit*, 4> NumericFields() { return {&EditCluster, &EditTotal, &EditSystem, &EditSlack}; }
    FieldEdit* FieldById(int id);
    FieldEdit& Field(MediaField field);
    void PickPreset(int index);
    void SetSlackEnabled(bool enabled);
    std::string SizeTipOf(const FieldEdit& field) const;

    Brush yellow_ = SolidBrush(kEmptyFieldColor);
};

}  // namespace stowra
