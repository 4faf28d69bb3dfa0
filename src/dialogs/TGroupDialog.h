#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace stowra {

// "簡易グループ化の設定": none, leaf-folder grouping or subfolder grouping.
class TGroupDialog : public QDialog {
    Q_OBJECT
public:
    explicit TGroupDialog(QWidget* parent = nullptr);

    int ItemIndex() const;
    void SetItemIndex(int index);

    QGroupBox* RadioGroup;
    QRadioButton* Items[3];
    QLabel* Label;
    QPushButton* ButtonOk;
    QPushButton* ButtonCancel;

private:
    QButtonGroup* group_;
};

}  // namespace stowra
