#include "dialogs/TBurnDialog.h"

#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "dialogs/QtPrompter.h"

namespace stowra {

TBurnDialog::TBurnDialog(const std::vector<std::string>& folders, const std::vector<std::string>& drives,
                         std::function<std::string()> chooseFolder, bool udf, QWidget* parent)
    : QDialog(parent), chooseFolder_(std::move(chooseFolder)) {
    setWindowTitle(QTr("書き込み"));
    ListFolders = new QListWidget(this);
    ButtonAddFolder = new QPushButton(QTr("フォルダを追加"), this);
    ComboDrive = new QComboBox(this);
    ComboDrive->setEditable(true);  // a drive not listed, or stdio:FILE
    for (const std::string& d : drives) {
        ComboDrive->addItem(QFile::decodeName(d.c_str()));
    }
    EditSpeed = new QSpinBox(this);
    EditSpeed->setRange(0, 1000000);
    EditSpeed->setSuffix(QStringLiteral(" kB/s"));
    ComboWriteType = new QComboBox(this);
    ComboWriteType->addItems({QTr("自動"), QStringLiteral("TAO"), QStringLiteral("SAO")});
    ComboFileSystem = new QComboBox(this);
    ComboFileSystem->addItems({QStringLiteral("ISO 9660 + Joliet"), QStringLiteral("UDF")});
    ComboFileSystem->setCurrentIndex(udf ? 1 : 0);
    CheckVerify = new QCheckBox(QTr("書き込み後に確認する"), this);
    CheckVerify->setChecked(true);
    CheckSimulate = new QCheckBox(QTr("書き込みを試すだけ（何も書き込まない）"), this);
    ButtonOk = new QPushButton(QTr("書き込み開始"), this);
    ButtonCancel = new QPushButton(QTr("キャンセル"), this);
    for (const std::string& f : folders) {
        AddFolder(f, true);
    }

    auto* form = new QFormLayout;
    form->addRow(QTr("ドライブ"), ComboDrive);
    form->addRow(QTr("速度（0 は最速）"), EditSpeed);
    form->addRow(QTr("書き込み方式"), ComboWriteType);
    form->addRow(QTr("ファイルシステム"), ComboFileSystem);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButtonAddFolder);
    buttons->addStretch();
    buttons->addWidget(ButtonOk);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QTr("書き込むディスクフォルダ"), this));
    layout->addWidget(ListFolders);
    layout->addLayout(form);
    layout->addWidget(CheckVerify);
    layout->addWidget(CheckSimulate);
    layout->addLayout(buttons);

    connect(ButtonAddFolder, &QPushButton::clicked, this, [this] {
        const std::string folder = chooseFolder_ ? chooseFolder_() : std::string();
        if (!folder.empty()) {
            AddFolder(folder, true);
        }
    });
    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TBurnDialog::AddFolder(const std::string& folder, bool checked) {
    auto* item = new QListWidgetItem(QFile::decodeName(folder.c_str()), ListFolders);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

BurnChoice TBurnDialog::Choice() const {
    BurnChoice c;
    for (int i = 0; i < ListFolders->count(); ++i) {
        if (ListFolders->item(i)->checkState() == Qt::Checked) {
            c.folders.push_back(QFile::encodeName(ListFolders->item(i)->text()).toStdString());
        }
    }
    c.device = QFile::encodeName(ComboDrive->currentText()).toStdString();
    c.speedKBs = EditSpeed->value();
    c.writeType = ComboWriteType->currentIndex();
    c.udf = ComboFileSystem->currentIndex() == 1;
    c.verify = CheckVerify->isChecked();
    c.simulate = CheckSimulate->isChecked();
    return c;
}

}  // namespace stowra
