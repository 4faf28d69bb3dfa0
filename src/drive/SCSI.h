#pragma once
// The SCSI pass-through transport: one command at a time to one optical drive. Every outcome is a
// status value; nothing here shows a message or throws.

#include <cstdint>
#include <string>

#include "drive/AspiTypes.h"

namespace stowra {

inline constexpr char kNoEventMessage[] =
    "ドライブとのやり取りに必要なイベントを作成できませんでした（開いているファイルが多すぎます）";

class SCSI {
public:
    static constexpr int kDataIn = aspi::SRB_DIR_IN;
    static constexpr int kDataOut = aspi::SRB_DIR_OUT;

    SCSI();
    virtual ~SCSI() = default;
    SCSI(const SCSI&) = delete;
    SCSI& operator=(const SCSI&) = delete;

    // Sends the prepared command and waits for it; 1 means completed without error.
    virtual int exec(int direction, void* buffer, std::uint32_t length);
    virtual std::uint32_t version() { return 0; }
    virtual bool available() { return false; }
    virtual void init() {}
    virtual void asyncReset() {}
    virtual void asyncWait() {}
    virtual bool asyncExec(int direction, void* buffer, std::uint32_t length);
    virtual int deviceCount() { return 0; }
    // Vendor, product, address and revision of the selected device (an INQUIRY).
    virtual void deviceInfo(std::string& vendor, std::string& product, std::string& address,
                            std::string& revision);
    virtual void selectDevice(int index);
    virtual int selectedDevice() { return 0; }
    // Why the transport, or the device selected last, cannot be used; empty when nothing is known
    // to be wrong.
    virtual std::string problem() { return {}; }

    // Stores one CDB byte; position 0 starts a new command and clears the whole request block.
    void setCdb(int position, std::uint8_t value);

    const aspi::SRB_ExecSCSICmd& request() const { return srb_; }

protected:
    virtual std::string AddressText() { return {}; }
    // An index at or past the end of a list of `count` devices selects the last one; a negative
    // one, which callers never pass, the first.
    static int ClampIndex(int index, int count) {
        return index >= count ? count - 1 : (index < 0 ? 0 : index);
    }
    aspi::SRB_ExecSCSICmd srb_{};
};

// Text of an INQUIRY field: up to its first zero byte, without trailing spaces and control characters.
std::string InquiryField(const std::uint8_t* bytes, std::size_t size);

}  // namespace stowra
