#pragma once
// The media dialog as the blank media probe writes into it.

#include <memory>

#include "drive/BlankMediaProbe.h"
#include "win32/BusyCursor.h"
#include "win32/TMediaDialog.h"

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
    std::unique_ptr<WaitCursor> wait_;
};

}  // namespace stowra
