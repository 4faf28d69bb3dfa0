#include "win32/TMediaDialog.h"

#include <string>

#include "platform/Translation.h"
#include "win32/WinText.h"
#include "win32/resource.h"

namespace stowra {

TMediaDialog::TMediaDialog(WinPrompter& prompter) : ModalDialog(prompter, IDD_MEDIA) {}

void TMediaDialog::Init() {
    HWND d = Handle();
    ::SetWindowTextA(d, Tr("メディア設定"));
    EditName.Attach(Item(IDC_NAME), FieldEdit::Keys::Text);
    EditCluster.Attach(Item(IDC_CLUSTER), FieldEdit::Keys::Digits);
    EditTotal.Attach(Item(IDC_TOTAL), FieldEdit::Keys::Digits);
    EditSystem.Attach(Item(IDC_SYSTEM), FieldEdit::Keys::Digits);
    EditSlack.Attach(Item(IDC_SLACK), FieldEdit::Keys::Digits);
    const struct {
        int id;
        const char* text;
    } captions[] = {
        {IDC_PRESET_LABEL, "メディアの種類"},
        {IDC_NAME_LABEL, "メディア名"},
        {IDC_CLUSTER_LABEL, "セクタサイズ"},
        {IDC_TOTAL_LABEL, "総サイズ"},
        {IDC_SYSTEM_LABEL, "システムサイズ"},
        {IDC_SLACK_LABEL, "スラックサイズ"},
        {IDC_CLUSTER_UNIT, "バイト"},
        {IDC_TOTAL_UNIT, "セクタ"},
        {IDC_SYSTEM_UNIT, "セクタ"},
        {IDC_SLACK_UNIT, "セクタ"},
        {IDC_FS_LABEL, "ファイルシステム"},
        {IDCANCEL, "キャンセル"},
        {IDC_GET, "自動取得"},
    };
    for (const auto& c : captions) {
        ::SetDlgItemTextA(d, c.id, Tr(c.text));
    }
    ::SetDlgItemTextA(d, IDC_COMMENT, Tr(kMediaComment));
    for (const std::string& item : PresetItems()) {
        ::SendDlgItemMessageA(d, IDC_PRESET, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    ::SendDlgItemMessageA(d, IDC_PRESET, CB_SETCURSEL, 0, 0);
    for (const char* fs : {Tr("なし（システムサイズを予約）"), "ISO9660 + Joliet", "UDF"}) {
        ::SendDlgItemMessageA(d, IDC_FS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(fs));
    }
    ::SendDlgItemMessageA(d, IDC_FS, CB_SETCURSEL, static_cast<WPARAM>(form.values.fileSystem), 0);

    tips.Create(d);
    tips.Set(Item(IDC_CLUSTER_LABEL), Tr("メディアの最小記録単位"));
    tips.Set(Item(IDC_TOTAL_LABEL), Tr("メディアの総クラスタサイズ"));
    tips.Set(Item(IDC_SYSTEM_LABEL), Tr("ファイル名等の情報格納のためにメディアに予約するサイズ"));
    tips.Set(Item(IDC_SLACK_LABEL), Tr("メディアに許される\"無駄\"なサイズ"));
    tips.Set(EditCluster.Handle(), Tr("通常は変更する必要はありません"));
    const std::string fsTip =
        Tr("選ぶと、このファイルシステムを含めたイメージ全体が\n"
           "各メディアに収まるように詰め込みます。\n"
           "システムサイズは、その上に残す余裕になります");
    tips.Set(Item(IDC_FS_LABEL), fsTip);
    tips.Set(Item(IDC_FS), fsTip);
    tips.Set(
        Item(IDC_PRESET),
        Tr("よく使われる記録型メディアの標準の容量です。自動取得は、ドライブにある空のメディアを読みます"));

    // The values as the caller set them, then what showing the form does with them.
    EditName.SetText(form.values.name);
    EditCluster.value = form.values.cluster;
    EditTotal.value = form.values.total;
    EditSystem.value = form.values.system;
    EditSlack.value = form.values.slack;
    SetSlackEnabled(form.slackEnabled);
    for (FieldEdit* f : NumericFields()) {
        f->SetText(std::to_string(f->value));
    }
    for (FieldEdit* f : NumericFields()) {
        EditClusterExit(*f);
    }
    EditClusterChange(EditName);
}

MediaValues TMediaDialog::Values() const {
    const auto fs = ::SendDlgItemMessageA(Handle(), IDC_FS, CB_GETCURSEL, 0, 0);
    return {EditName.Text(),  EditCluster.value, EditTotal.value,
            EditSystem.value, EditSlack.value,   fs >= 0 ? static_cast<FileSystem>(fs) : FileSystem::None};
}

FieldEdit* TMediaDialog::FieldById(int id) {
    for (FieldEdit* f : {&EditName, &EditCluster, &EditTotal, &EditSystem, &EditSlack}) {
        if (f->Handle() != nullptr && ::GetDlgCtrlID(f->Handle()) == id) {
            return f;
        }
    }
    return nullptr;
}

FieldEdit& TMediaDialog::Field(MediaField field) {
    switch (field) {
        case MediaField::Name:
            return EditName;
        case MediaField::Cluster:
            return EditCluster;
        case MediaField::Total:
            return EditTotal;
        case MediaField::System:
            return EditSystem;
        case MediaField::Slack:
            return EditSlack;
    }
    return EditName;
}

void TMediaDialog::SetSlackEnabled(bool enabled) {
    for (int id : {IDC_SLACK, IDC_SLACK_LABEL, IDC_SLACK_UNIT}) {
        ::EnableWindow(Item(id), enabled ? TRUE : FALSE);
    }
}

std::string TMediaDialog::SizeTipOf(const FieldEdit& field) const {
    return SizeTip(field.value, EditCluster.value);
}

bool TMediaDialog::EditClusterExit(FieldEdit& field) {
    if (!field.TakeValue(Messages())) {
        return false;
    }
    if (&field != &EditCluster) {
        tips.Set(field.Handle(), SizeTipOf(field));
    }
    return true;
}

void TMediaDialog::EditClusterChange(FieldEdit& field) {
    if (!::IsWindowEnabled(field.Handle())) {
        return;
    }
    ::InvalidateRect(field.Handle(), nullptr, TRUE);  // yellow while empty
    const bool ownTip = &field != &EditName && &field != &EditCluster;
    if (!ownTip) {
        return;
    }
    if (field.Empty()) {
        tips.Set(field.Handle(), "");
        return;
    }
    // While typing, a number too long to convert keeps the previous value; leaving the field
    // reports it.
    if (auto v = ParseInt32(field.Text())) {
        field.value = *v;
    }
    tips.Set(field.Handle(), SizeTipOf(field));
}

void TMediaDialog::PickPreset(int index) {
    MediaForm picked;
    picked.values = Values();
    if (!picked.PickPreset(index)) {
        return;
    }
    EditName.SetText(picked.values.name);
    EditCluster.value = picked.values.cluster;
    EditCluster.SetText(std::to_string(picked.values.cluster));
    EditTotal.value = picked.values.total;
    EditTotal.SetText(std::to_string(picked.values.total));
}

bool TMediaDialog::Command(int id, int code) {
    if (FieldEdit* field = FieldById(id); field != nullptr && code == EN_CHANGE) {
        EditClusterChange(*field);
        return true;
    }
    if (id == IDC_PRESET && code == CBN_SELENDOK) {
        PickPreset(static_cast<int>(::SendDlgItemMessageA(Handle(), IDC_PRESET, CB_GETCURSEL, 0, 0)));
        return true;
    }
    if (id == IDC_GET && code == BN_CLICKED) {
        if (probe) {
            probe(*this);
        }
        return true;
    }
    return false;
}

INT_PTR TMediaDialog::Other(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kFieldLeft:
            // A box is up over the dialog (the field's own error, or OK's): the field is taken there.
            if (::IsWindowEnabled(Handle())) {
                if (FieldEdit* field = FieldById(static_cast<int>(wParam));
                    field != nullptr && field != &EditName) {
                    EditClusterExit(*field);
                }
            }
            return TRUE;
        case WM_CTLCOLOREDIT: {
            auto edit = reinterpret_cast<HWND>(lParam);
            if (FieldById(::GetDlgCtrlID(edit)) != nullptr) {
                return reinterpret_cast<INT_PTR>(
                    FieldBackground(edit, reinterpret_cast<HDC>(wParam), yellow_.get()));
            }
            return FALSE;
        }
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == Item(IDC_COMMENT)) {
                auto dc = reinterpret_cast<HDC>(wParam);
                ::SetTextColor(dc, RGB(0, 0, 255));
                ::SetBkMode(dc, TRANSPARENT);
                return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void TMediaDialog::Ok() {
    // Every field's text is taken over first, not only the focused one's: the checks must see
    // the values shown, and a text that cannot be stored keeps the dialog open.
    for (FieldEdit* f : NumericFields()) {
        if (!EditClusterExit(*f)) {
            if (::IsWindowEnabled(f->Handle())) {
                ::SetFocus(f->Handle());
            }
            return;
        }
    }
    form.values = Values();
    if (const std::optional<FormProblem> problem = form.Validate()) {
        Messages().Ask(problem->message, "", MessageIcon::Exclamation, MessageButtons::Ok);
        if (HWND focus = Field(problem->focus).Handle(); ::IsWindowEnabled(focus)) {
            ::SetFocus(focus);
        }
        return;
    }
    End(IDOK);
}

}  // namespace stowra
