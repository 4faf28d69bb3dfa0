#pragma once
// Reads a blank recordable disc: checks that it is blank, learns its type from the drive's current
// profile, reads a manufacturer identification where the type has one, and reads the free
// capacity of the first track. The drive's replies are untrusted: every field is read only when
// the reply's own length covers it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "drive/SCSI.h"

namespace stowra {

// The media dialog as the probe sees it.
class ProbeDialog {
public:
    virtual ~ProbeDialog() = default;
    virtual void SetBusy(bool busy) = 0;
    // A modal message owned by the media dialog: no caption of its own, the stop icon, OK.
    virtual void ShowError(const std::string& message) = 0;
    // Shows the drive dialog; true when the user confirmed a drive (it is then selected).
    virtual bool ChooseDrive(SCSI& transport) = 0;
    // Each text is written as soon as it is known; the two numbers also run the field's leave handling.
    virtual void SetClusterText(const std::string& text) = 0;
    virtual void SetNameText(const std::string& text) = 0;
    virtual void SetTotalText(const std::string& text) = 0;
};

using TransportFactory = std::function<std::unique_ptr<SCSI>()>;

// The transport the operating system calls for: its own pass-through on Linux and on the NT family.
std::unique_ptr<SCSI> MakeSystemTransport();

// The road from the "自動取得" button: transport, drive choice, probe, messages.
void ProbeBlankMedia(ProbeDialog& dialog, const TransportFactory& makeTransport, bool readAtip);

// The probe itself on a chosen drive; throws LExcept with the message to show.
void RunProbe(SCSI& transport, ProbeDialog& dialog, bool readAtip);

// Switches the drive's write parameters page to the write type; true when the drive accepted it.
bool SetWriteMode(SCSI& drive, std::uint16_t profile, std::uint8_t writeType);

// The probe's messages.
inline constexpr char kNoLibraryMessage[] = "wnaspi32.dllのロードに失敗しました";
inline constexpr char kNoDriveMessage[] = "ドライブがみつかりませんでした";
inline constexpr char kMediaErrorMessage[] = "メディア情報の取得に失敗しました";
inline constexpr char kNotBlankMessage[] = "空メディアではありません";

// How many times the probe switches an incremental track before it gives up.
inline constexpr int kMaxWriteModeSwitches = 3;

}  // namespace stowra
