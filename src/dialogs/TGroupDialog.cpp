#include "dialogs/TGroupDialog.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "dialogs/QtPrompter.h"

namespace stowra {

TGroupDialog::TGroupDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QTr("簡易グループ化の設定"));
    RadioGroup = new QGroupBox(QTr("簡易グループ化の設定"), this);
    group_ = new QButtonGroup(this);
    const QString texts[3] = {QTr("なし"), QTr("階層末端のフォルダ内のファイルは一つにまとめて扱う"),
                              QTr("直下のサブフォルダ配下のファイルは一つにまとめて扱う")};
    auto* radios = new QVBoxLayout(RadioGroup);
    for (int i = 0; i < 3; ++i) {
        Items[i] = new QRadioButton(texts[i], RadioGroup);
        group_->addButton(Items[i], i);
        radios->addWidget(Items[i]);
    }
    Label = new QLabel(QTr("簡易グループ化を設定すると、\n"
                           "見かけのファイルサイズが大きくなるため、\n"
                           "うまい組み合わせが見つからなくなる可能性が高まります。\n"
                           "ご注意ください。"),
                       this);
    QPalette p = Label->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label->setPalette(p);
    ButtonOk = new QPushButton(QStringLiteral("OK"), this);
    ButtonCancel = new QPushButton(QTr("キャンセル"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonOk);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RadioGroup);
    layout->addWidget(Label);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    SetItemIndex(0);
}

int TGroupDialog::ItemIndex() const {
    return group_->checkedId();
}

void TGroupDialog::SetItemIndex(int index) {
    if (index >= 0 && index < 3) {
        Items[index]->setChecked(true);
    }
}

}  // namespace stowra
