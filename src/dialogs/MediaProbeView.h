#pragma once
// The media dialog as the blank media probe writes into it.

#include "dialogs/TMediaDialog.h"
#include "drive/BlankMediaProbe.h"

namespace stowra {

class MediaProbeView : public ProbeDialog {
public:
    explicit MediaProbeView(TMediaDialog& dialog) : dialog_(dialog) {}
    void SetBusy(bool busy) override;
    void ShowError(const std::string& message) override;
    bool ChooseDrive(SCSI& transport) override;
    void SetClusterText(const std::string& text) override;
    void SetNameText(const std::string& text) override;
    void SetTotalText(const std::string& text) override;

private:
    TMediaDialog& dialog_;
    bool busy_ = false;
};

}  // namespace stowra
