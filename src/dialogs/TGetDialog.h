#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "drive/SCSI.h"

namespace stowra {

// "メディアサイズ自動取得": the user picks the drive that holds the blank disc. The transport is
// the caller's; the dialog selects the confirmed drive in it.
class TGetDialog : public QDialog {
    Q_OBJECT
public:
    TGetDialog(SCSI& transport, QWidget* parent = nullptr);

    QLabel* Label1;
    QComboBox* ComboBox;  // lines of the listed drives only: nothing else can be confirmed
    QPushButton* ButtonOk;

    void ButtonOkClick();

private:
    void FormCreate();
    SCSI& transport_;
};

}  // namespace stowra
