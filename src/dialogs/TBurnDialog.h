#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <functional>
#include <string>
#include <vector>

namespace stowra {

// What the burn dialog was closed with.
struct BurnChoice {
    std::vector<std::string> folders;  // the checked disc folders, in list order
    std::string device;
    int speedKBs = 0;
    int writeType = 0;  // 0 auto, 1 TAO, 2 SAO
    bool udf = false;   // the ISO 9660/Joliet/UDF bridge instead of ISO 9660 with Joliet
    bool verify = true;
    bool simulate = false;
};

// "書き込み": the disc folders to burn (those of the last move checked), the drive, speed,
// write type, verification after burning (on by default) and simulation.
class TBurnDialog : public QDialog {
    Q_OBJECT
public:
    // `chooseFolder` is the folder browser ("" when the user closed it).
    // `udf` preselects the bridge (the current disc type's file system).
    TBurnDialog(const std::vector<std::string>& folders, const std::vector<std::string>& drives,
                std::function<std::string()> chooseFolder, bool udf, QWidget* parent = nullptr);

    BurnChoice Choice() const;

    QListWidget* ListFolders;
    QPushButton* ButtonAddFolder;
    QComboBox* ComboDrive;
    QSpinBox* EditSpeed;
    QComboBox* ComboWriteType;
    QComboBox* ComboFileSystem;
    QCheckBox* CheckVerify;
    QCheckBox* CheckSimulate;
    QPushButton* ButtonOk;
    QPushButton* ButtonCancel;

private:
    void AddFolder(const std::string& folder, bool checked);
    std::function<std::string()> chooseFolder_;
};

}  // namespace stowra
