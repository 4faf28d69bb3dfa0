#include "dialogs/TGetDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "dialogs/QtPrompter.h"
#include "drive/DriveList.h"

namespace stowra {

TGetDialog::TGetDialog(SCSI& transport, QWidget* parent) : QDialog(parent), transport_(transport) {
    setWindowTitle(QTr("メディアサイズ自動取得"));
    Label1 = new QLabel(QTr("空メディアの入っているドライブを選択してください"), this);
    ComboBox = new QComboBox(this);
    ComboBox->setEditable(false);
    ComboBox->setMinimumWidth(320);
    ButtonOk = new QPushButton(QStringLiteral("OK"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonOk);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ComboBox);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(ButtonOk, &QPushButton::clicked, this, &TGetDialog::ButtonOkClick);
    connect(ComboBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { ButtonOk->setEnabled(index >= 0); });
    FormCreate();
}

void TGetDialog::FormCreate() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const DriveLine& line : ListDriveLines(transport_)) {
        ComboBox->addItem(ToQt(line.Text()));
    }
    ComboBox->setCurrentIndex(ComboBox->count() > 0 ? 0 : -1);
    ButtonOk->setEnabled(ComboBox->currentIndex() >= 0);
    QApplication::restoreOverrideCursor();
}

void TGetDialog::ButtonOkClick() {
    if (ComboBox->currentIndex() < 0) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    transport_.selectDevice(ComboBox->currentIndex());
    QApplication::restoreOverrideCursor();
    accept();
}

}  // namespace stowra
