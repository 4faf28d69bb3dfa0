#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/FieldEdit.h"
#include "frontend/FrontEnd.h"
#include "ui/MediaForm.h"

namespace stowra {

// "メディア設定": a profile's name, four numbers and the file system. The rules (the checks on OK,
// the list of common discs, the tooltips' texts) are the form's; the dialog draws it.
class TMediaDialog : public QDialog {
    Q_OBJECT
public:
    TMediaDialog(Prompter& messages, QWidget* parent = nullptr);

    FieldEdit* EditName;
    FieldEdit* EditCluster;
    FieldEdit* EditTotal;
    FieldEdit* EditSystem;
    FieldEdit* EditSlack;
    QLabel* LabelName;
    QLabel* LabelCluster;
    QLabel* LabelTotal;
    QLabel* LabelSystem;
    QLabel* Label8;  // slack
    QLabel* LabelClusterUnit;
    QLabel* LabelTotalUnit;
    QLabel* LabelSystemUnit;
    QLabel* Label9;  // slack unit
    QLabel* LabelComment;
    // The file system the discs are burned with: list only, in FileSystem order.
    QLabel* LabelFileSystem;
    QComboBox* ComboFileSystem;
    QLabel* LabelPreset;
    QComboBox* ComboPreset;  // common discs: picking one fills the name, sector size and total
    QPushButton* ButtonOk;
    QPushButton* ButtonCancel;
    QPushButton* ButtonGet;

    // The rules, and the values: those to show before the dialog opens, those shown when OK
    // closed it.
    MediaForm form;
    // The blank media probe behind "自動取得".
    std::function<void(TMediaDialog&)> probe;

    FileSystem fileSystem() const { return static_cast<FileSystem>(ComboFileSystem->currentIndex()); }
    void SetFileSystem(FileSystem fs) { ComboFileSystem->setCurrentIndex(static_cast<int>(fs)); }
    // Puts values into the fields, as they are shown when the dialog opens.
    void SetValues(const MediaValues& values);
    // The values of the fields as taken over last.
    MediaValues Values() const;

    // Enables or greys the slack field with its labels.
    void SetSlackEnabled(bool enabled);
    void ComboPresetChange(int index);

    // Leave handling of a numeric field; false when its text is not an integer.
    bool EditClusterExit(FieldEdit* field);
    void EditClusterChange(FieldEdit* field);
    // Validation; closes with OK when every check passes.
    void ButtonOkClick();
    void ButtonGetClick();

    Prompter& Messages() { return messages_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString SizeTip(const FieldEdit* field) const;
    FieldEdit* Field(MediaField field) const;
    std::vector<FieldEdit*> NumericFields() const { return {EditCluster, EditTotal, EditSystem, EditSlack}; }

    Prompter& messages_;
};

}  // namespace stowra
