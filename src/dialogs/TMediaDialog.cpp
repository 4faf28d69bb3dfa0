#include "dialogs/TMediaDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "dialogs/QtPrompter.h"
#include "platform/Text.h"

namespace stowra {

namespace {

QLabel* Tipped(const QString& text, const QString& tip, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setToolTip(tip);
    return label;
}

}  // namespace

TMediaDialog::TMediaDialog(Prompter& messages, QWidget* parent) : QDialog(parent), messages_(messages) {
    setWindowTitle(QTr("メディア設定"));
    EditName = new FieldEdit(FieldEdit::Keys::Text, this);
    EditCluster = new FieldEdit(FieldEdit::Keys::Digits, this);
    EditTotal = new FieldEdit(FieldEdit::Keys::Digits, this);
    EditSystem = new FieldEdit(FieldEdit::Keys::Digits, this);
    EditSlack = new FieldEdit(FieldEdit::Keys::Digits, this);
    EditCluster->setText(QStringLiteral("2048"));
    EditTotal->setText(QStringLiteral("0"));
    EditSystem->setText(QStringLiteral("256"));
    EditSlack->setText(QStringLiteral("2048"));
    EditCluster->setToolTip(QTr("通常は変更する必要はありません"));
    for (FieldEdit* f : NumericFields()) {
        f->setAlignment(Qt::AlignRight);
    }

    LabelName = new QLabel(QTr("メディア名"), this);
    LabelCluster = Tipped(QTr("セクタサイズ"), QTr("メディアの最小記録単位"), this);
    LabelTotal = Tipped(QTr("総サイズ"), QTr("メディアの総クラスタサイズ"), this);
    LabelSystem =
        Tipped(QTr("システムサイズ"), QTr("ファイル名等の情報格納のためにメディアに予約するサイズ"), this);
    Label8 = Tipped(QTr("スラックサイズ"), QTr("メディアに許される\"無駄\"なサイズ"), this);
    LabelClusterUnit = new QLabel(QTr("バイト"), this);
    LabelTotalUnit = new QLabel(QTr("セクタ"), this);
    LabelSystemUnit = new QLabel(QTr("セクタ"), this);
    Label9 = new QLabel(QTr("セクタ"), this);

    LabelFileSystem = Tipped(QTr("ファイルシステム"),
                             QTr("選ぶと、このファイルシステムを含めたイメージ全体が\n"
                                 "各メディアに収まるように詰め込みます。\n"
                                 "システムサイズは、その上に残す余裕になります"),
                             this);
    ComboFileSystem = new QComboBox(this);
    ComboFileSystem->addItems(
        {QTr("なし（システムサイズを予約）"), QStringLiteral("ISO9660 + Joliet"), QStringLiteral("UDF")});
    ComboFileSystem->setToolTip(LabelFileSystem->toolTip());

    LabelComment = new QLabel(QTr(kMediaComment), this);
    QPalette blue = LabelComment->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    LabelComment->setPalette(blue);

    ButtonOk = new QPushButton(QStringLiteral("OK"), this);
    ButtonCancel = new QPushButton(QTr("キャンセル"), this);
    ButtonGet = new QPushButton(QTr("自動取得"), this);
    for (QPushButton* b : {ButtonOk, ButtonCancel, ButtonGet}) {
        b->setAutoDefault(false);
        // A click on a button leaves the focus in the field: OK takes every field itself, and
        // Cancel should not stop for a field the user is abandoning.
        b->setFocusPolicy(Qt::TabFocus);
    }

    LabelPreset = new QLabel(QTr("メディアの種類"), this);
    ComboPreset = new QComboBox(this);
    for (const std::string& item : PresetItems()) {
        ComboPreset->addItem(ToQt(item));
    }
    ComboPreset->setToolTip(
        QTr("よく使われる記録型メディアの標準の容量です。自動取得は、ドライブにある空のメディアを読みます"));

    auto* grid = new QGridLayout;
    grid->addWidget(LabelPreset, 0, 0);
    grid->addWidget(ComboPreset, 0, 1, 1, 2);
    grid->addWidget(LabelName, 1, 0);
    grid->addWidget(EditName, 1, 1, 1, 2);
    QLabel* labels[] = {LabelCluster, LabelTotal, LabelSystem, Label8};
    QLabel* units[] = {LabelClusterUnit, LabelTotalUnit, LabelSystemUnit, Label9};
    auto fields = NumericFields();
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(labels[i], i + 2, 0);
        grid->addWidget(fields[static_cast<std::size_t>(i)], i + 2, 1);
        grid->addWidget(units[i], i + 2, 2);
    }
    grid->addWidget(LabelFileSystem, 6, 0);
    grid->addWidget(ComboFileSystem, 6, 1, 1, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ButtonOk);
    buttons->addWidget(ButtonCancel);
    buttons->addSpacing(12);
    buttons->addWidget(ButtonGet);
    buttons->addStretch();
    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addWidget(LabelComment);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(EditName, &QLineEdit::textChanged, this, [this] { EditClusterChange(EditName); });
    for (FieldEdit* f : fields) {
        connect(f, &QLineEdit::textChanged, this, [this, f] { EditClusterChange(f); });
        connect(f, &FieldEdit::focusLost, this, [this, f] { EditClusterExit(f); });
    }
    connect(ButtonOk, &QPushButton::clicked, this, &TMediaDialog::ButtonOkClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ButtonGet, &QPushButton::clicked, this, &TMediaDialog::ButtonGetClick);
    connect(ComboPreset, &QComboBox::activated, this, &TMediaDialog::ComboPresetChange);
    SetToolTipDurations(this);
}

void TMediaDialog::ComboPresetChange(int index) {
    MediaForm picked;
    picked.values = Values();
    if (!picked.PickPreset(index)) {
        return;
    }
    EditName->setText(ToQt(picked.values.name));
    EditCluster->value = picked.values.cluster;
    EditCluster->setText(QString::number(picked.values.cluster));
    EditTotal->value = picked.values.total;
    EditTotal->setText(QString::number(picked.values.total));
}

void TMediaDialog::SetValues(const MediaValues& values) {
    EditName->setText(ToQt(values.name));
    EditCluster->value = values.cluster;
    EditTotal->value = values.total;
    EditSystem->value = values.system;
    EditSlack->value = values.slack;
    SetFileSystem(values.fileSystem);
}

MediaValues TMediaDialog::Values() const {
    return {FromQt(EditName->text()), EditCluster->value, EditTotal->value,
            EditSystem->value,        EditSlack->value,   fileSystem()};
}

FieldEdit* TMediaDialog::Field(MediaField field) const {
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
    EditSlack->setEnabled(enabled);
    Label8->setEnabled(enabled);
    Label9->setEnabled(enabled);
    QPalette p = EditSlack->palette();
    p.setColor(QPalette::Base,
               enabled ? QPalette().color(QPalette::Base) : QPalette().color(QPalette::Button));
    EditSlack->setPalette(p);
}

void TMediaDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    for (FieldEdit* f : NumericFields()) {
        f->setText(QString::number(f->value));
    }
    for (FieldEdit* f : NumericFields()) {
        EditClusterExit(f);
    }
    EditClusterChange(EditName);
}

QString TMediaDialog::SizeTip(const FieldEdit* field) const {
    return ToQt(stowra::SizeTip(field->value, EditCluster->value));
}

bool TMediaDialog::EditClusterExit(FieldEdit* field) {
    if (!field->TakeValue(messages_)) {
        return false;
    }
    if (field != EditCluster) {
        field->setToolTip(SizeTip(field));
    }
    return true;
}

void TMediaDialog::EditClusterChange(FieldEdit* field) {
    if (!field->isEnabled()) {
        return;
    }
    const bool ownTip = field != EditName && field != EditCluster;
    if (field->text().isEmpty()) {
        QPalette p = field->palette();
        p.setColor(QPalette::Base, QColor(255, 255, 0));
        field->setPalette(p);
        if (ownTip) {
            field->setToolTip(QString());
        }
        return;
    }
    field->UpdateColor();
    if (ownTip) {
        // While typing, a number too long to convert keeps the previous value; leaving the field
        // reports it.
        if (auto v = ParseInt32(FromQt(field->text()))) {
            field->value = *v;
        }
        field->setToolTip(SizeTip(field));
    }
}

void TMediaDialog::ButtonOkClick() {
    // Every field's text is taken over first, not only the focused one's: the checks must see
    // the values shown, and a text that cannot be stored keeps the dialog open.
    for (FieldEdit* f : NumericFields()) {
        if (!EditClusterExit(f)) {
            if (f->isEnabled()) {
                f->setFocus();
            }
            return;
        }
    }
    form.values = Values();
    if (const std::optional<FormProblem> problem = form.Validate()) {
        messages_.Ask(problem->message, "", MessageIcon::Exclamation, MessageButtons::Ok);
        if (FieldEdit* focus = Field(problem->focus); focus->isEnabled()) {
            focus->setFocus();
        }
        return;
    }
    accept();
}

void TMediaDialog::ButtonGetClick() {
    if (probe) {
        probe(*this);
    }
}

}  // namespace stowra
