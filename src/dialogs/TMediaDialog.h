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
#include "image/ImageSize.h"

namespace stowra {

// "メディア設定": a profile's name and four numbers, validated on OK.
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

    bool AddMode = false;
    // Names of the profile list, and the entry being edited (skipped by the name check in edit mode).
    std::vector<std::string> profileNames;
    int selectedIndex = -1;
    // Further name rules of the settings file (empty text when the name can be stored).
    std::function<std::string(const std::string& name)> nameProblem;
    // The blank media probe behind "自動取得".
    std::function<void(TMediaDialog&)> probe;

    FileSystem fileSystem() const { return static_cast<FileSystem>(ComboFileSystem->currentIndex()); }
    void SetFileSystem(FileSystem fs) { ComboFileSystem->setCurrentIndex(static_cast<int>(fs)); }

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
    bool Fails(bool failed, const char* message, FieldEdit* focus);
    std::vector<FieldEdit*> NumericFields() const { return {EditCluster, EditTotal, EditSystem, EditSlack}; }

    Prompter& messages_;
};

}  // namespace stowra
