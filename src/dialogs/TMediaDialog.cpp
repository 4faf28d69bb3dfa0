#include "dialogs/TMediaDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "dialogs/QtPrompter.h"
#include "packing/DiscPresets.h"
#include "packing/PackResult.h"
#include "platform/Text.h"

namespace stowra {

namespace {

const char* const kComment =
    "オプションで\n"
    "スラックサイズを有効にすると、\n"
    "詰め込み率の下限を設定できます。\n"
    "\n"
    "総サイズをＡ、システムサイズをＢ、\n"
    "スラックサイズをＣとしたときに、\n"
    "Ａ－（Ｂ＋Ｃ）≦ Ｘ ≦Ａ－Ｂ\n"
    "の範囲のＸになるように\n"
    "ファイルを詰め込みます。\n"
    "\n"
    "ただし詰め込み率を高めに誘導すると、\n"
    "うまい組み合わせが見つからない\n"
    "可能性も高くなります。\n";

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

    LabelComment = new QLabel(QTr(kComment), this);
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
    ComboPreset->addItem(QTr("（一覧から選ぶと、名前と大きさが入ります）"));
    for (const DiscPreset& p : kDiscPresets) {
        ComboPreset->addItem(QString::fromUtf8(p.name));
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
    if (index < 1 || static_cast<std::size_t>(index) > kDiscPresets.size()) {
        return;
    }
    const DiscPreset& p = kDiscPresets[static_cast<std::size_t>(index - 1)];
    // The name, the sector size and the total as the disc's standard has them; System and Slack
    // stay the user's, and every field stays editable.
    EditName->setText(QString::fromUtf8(p.name));
    EditCluster->value = p.cluster;
    EditCluster->setText(QString::number(p.cluster));
    EditTotal->value = p.total;
    EditTotal->setText(QString::number(p.total));
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
    return ToQt(
        SizeText(static_cast<std::uint32_t>(field->value), static_cast<std::uint32_t>(EditCluster->value)));
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
        if (auto v = ParseInt32(field->text())) {
            field->value = *v;
        }
        field->setToolTip(SizeTip(field));
    }
}

bool TMediaDialog::Fails(bool failed, const char* message, FieldEdit* focus) {
    if (failed) {
        messages_.Ask(message, "", MessageIcon::Exclamation, MessageButtons::Ok);
        if (focus->isEnabled()) {
            focus->setFocus();
        }
    }
    return failed;
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
    const std::string name = FromQt(EditName->text());
    bool taken = false;
    for (std::size_t i = 0; i < profileNames.size(); ++i) {
        if (!AddMode && static_cast<int>(i) == selectedIndex) {
            continue;
        }
        taken = taken || profileNames[i] == name;
    }
    if (Fails(name.empty(), Tr("メディア名を入れてください"), EditName) ||
        Fails(name == "Stowra", Tr("そのメディア名は使用できません"), EditName) ||
        Fails(taken, Tr("そのメディア名はすでに使用されています"), EditName)) {
        return;
    }
    if (nameProblem) {
        std::string problem = nameProblem(name);
        if (Fails(!problem.empty(), problem.c_str(), EditName)) {
            return;
        }
    }
    if (Fails(EditCluster->value == 0, Tr("クラスタサイズを入れてください"), EditCluster) ||
        Fails(EditTotal->value == 0, Tr("総サイズを入れてください"), EditTotal) ||
        Fails(EditSystem->value == 0, Tr("システムサイズはゼロより大きくしてください"), EditSystem) ||
        Fails(EditSystem->value >= EditTotal->value,
              Tr("システムサイズは総サイズより小さくなければいけません"), EditSystem) ||
        Fails(EditSlack->value >= EditTotal->value,
              Tr("スラックサイズは総サイズより小さくなければいけません"), EditSlack)) {
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
