#include "dialogs/TOptDialog.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "dialogs/QtPrompter.h"
#include "platform/Text.h"

namespace stowra {

TOptDialog::TOptDialog(Prompter& errors, QWidget* parent) : QDialog(parent), errors_(errors) {
    setWindowTitle(QTr("オプション"));
    EditMin = new FieldEdit(FieldEdit::Keys::DigitsNoEscape, this);
    EditMin->setAlignment(Qt::AlignRight);
    EditMin->setMaximumWidth(120);
    Label1 = new QLabel(QTr("バイト以下のファイルを対象外にする"), this);
    CheckATIP = new QCheckBox(QTr("CD-Rの場合はATIP情報も自動取得する"), this);
    CheckHidden = new QCheckBox(QTr("隠し属性ファイルを対象にする（※推奨しません）"), this);
    CheckSystem = new QCheckBox(QTr("システム属性ファイルを対象にする（※推奨しません）"), this);
    CheckIndex = new QCheckBox(QTr("メディア毎の詰め込み一覧ファイルを出力する"), this);
    CheckClean = new QCheckBox(QTr("対象ファイル移動後の空フォルダを削除する"), this);
    CheckSlack = new QCheckBox(QTr("メディア設定のスラックサイズを有効にする"), this);
    CheckLastDisc = new QCheckBox(QTr("満杯にならない残りのファイルも最後のメディアにまとめる"), this);
    CheckChecksums = new QCheckBox(QTr("メディア毎にチェックサム（SHA-256）ファイルを出力する"), this);
    ButtonOk = new QPushButton(QStringLiteral("OK"), this);
    ButtonCancel = new QPushButton(QTr("キャンセル"), this);

    auto* minRow = new QHBoxLayout;
    minRow->addWidget(EditMin);
    minRow->addWidget(Label1);
    minRow->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonOk);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(minRow);
    for (QCheckBox* c : Checks()) {
        layout->addWidget(c);
    }
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ButtonOk->setDefault(false);
    for (QPushButton* b : {ButtonOk, ButtonCancel}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::TabFocus);  // OK takes the field itself; Cancel abandons it
    }
    connect(EditMin, &QLineEdit::textChanged, this, &TOptDialog::EditMinChange);
    connect(EditMin, &FieldEdit::focusLost, this, [this] { EditMinExit(); });
    connect(ButtonOk, &QPushButton::clicked, this, &TOptDialog::ButtonOkClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    SetToolTipDurations(this);
}

void TOptDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    EditMinExit();
    EditMinChange();
}

void TOptDialog::EditMinChange() {
    EditMin->UpdateColor();
}

bool TOptDialog::EditMinExit() {
    return EditMin->TakeValue(errors_, TakeMinimumSize);
}

void TOptDialog::ButtonOkClick() {
    // OK reads the value of the text shown, as if the field had been left first.
    if (EditMinExit()) {
        accept();
    } else {
        EditMin->setFocus();
    }
}

}  // namespace stowra
