#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "dialogs/FieldEdit.h"
#include "frontend/FrontEnd.h"

namespace stowra {

// "オプション": the minimum file size and eight option bits.
class TOptDialog : public QDialog {
    Q_OBJECT
public:
    TOptDialog(Prompter& errors, QWidget* parent = nullptr);

    FieldEdit* EditMin;
    QLabel* Label1;
    QCheckBox* CheckATIP;
    QCheckBox* CheckHidden;
    QCheckBox* CheckSystem;
    QCheckBox* CheckIndex;
    QCheckBox* CheckClean;
    QCheckBox* CheckSlack;
    QCheckBox* CheckLastDisc;
    QCheckBox* CheckChecksums;
    QPushButton* ButtonOk;
    QPushButton* ButtonCancel;

    std::array<QCheckBox*, 8> Checks() const {
        return {CheckATIP,  CheckHidden, CheckSystem,   CheckIndex,
                CheckClean, CheckSlack,  CheckLastDisc, CheckChecksums};
    }

    // Takes the text of EditMin into its value; false when the text is not an integer.
    bool EditMinExit();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void EditMinChange();
    void ButtonOkClick();
    Prompter& errors_;
};

}  // namespace stowra
