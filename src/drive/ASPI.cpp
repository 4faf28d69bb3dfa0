#include "drive/ASPI.h"

#include <cstring>

#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

using namespace aspi;

ASPI::ASPI(std::string libraryName) : libraryName_(std::move(libraryName)) {
    init();
}

ASPI::~ASPI() {
    asyncWait();
}

void ASPI::init() {
    // The library completes a command on its own thread: freeing it, or its event, before then
    // would let the completion write into whatever reuses the event's descriptor.
    asyncWait();
    problem_.clear();
    library_.Free();
    event_.reset();
    getSupportInfo_ = nullptr;
    sendCommand_ = nullptr;
    getVersion_ = nullptr;
    count_ = 0;
    selected_ = 0;
    library_ = DynamicLibrary(libraryName_);
    if (!library_.Loaded()) {
        return;
    }
    getSupportInfo_ = reinterpret_cast<GetASPI32SupportInfoFn>(library_.Symbol("GetASPI32SupportInfo"));
    sendCommand_ = reinterpret_cast<SendASPI32CommandFn>(library_.Symbol("SendASPI32Command"));
    getVersion_ = reinterpret_cast<GetASPI32DLLVersionFn>(library_.Symbol("GetASPI32DLLVersion"));
    if (getSupportInfo_ == nullptr || sendCommand_ == nullptr) {
        library_.Free();
        return;
    }
    event_ = std::make_unique<ManualResetEvent>();
    if (!event_->Valid()) {
        // Without its completion event no command could ever be waited for.
        problem_ = Tr(kNoEventMessage);
        event_.reset();
        return;
    }
    ListDevices();
}

void ASPI::ListDevices() {
    count_ = 0;
    selected_ = 0;
    std::uint32_t info = getSupportInfo_();
    int adapters = ((info >> 8) & 0xFF) == SS_COMP ? static_cast<int>(info & 0xFF) : 0;
    for (int h = 0; h < adapters; ++h) {
        SRB_HAInquiry inquiry{};
        inquiry.SRB_Cmd = SC_HA_INQUIRY;
        inquiry.SRB_HaId = static_cast<std::uint8_t>(h);
        sendCommand_(&inquiry);
        int targets = inquiry.HA_Unique[3] == 0 ? 8 : inquiry.HA_Unique[3];
        for (int t = 0; t < targets; ++t) {
            SRB_GDEVBlock device{};
            device.SRB_Cmd = SC_GET_DEV_TYPE;
            device.SRB_HaId = static_cast<std::uint8_t>(h);
            device.SRB_Target = static_cast<std::uint8_t>(t);
            sendCommand_(&device);
            if (device.SRB_Status == SS_COMP && device.SRB_DeviceType == DTYPE_CDROM) {
                devices_[count_][0] = static_cast<std::uint8_t>(h);
                devices_[count_][1] = static_cast<std::uint8_t>(t);
                devices_[count_][2] = 0;
                if (++count_ == kMaxDevices) {
                    return;
                }
            }
        }
    }
}

std::uint32_t ASPI::version() {
    return library_.Loaded() && getVersion_ != nullptr ? getVersion_() : 0;
}

void ASPI::selectDevice(int index) {
    if (count_ == 0)
        return;
    selected_ = ClampIndex(index, count_);
    std::memcpy(address_, devices_[selected_], 3);
}

std::string ASPI::AddressText() {
    return Format("%d:%d:%d", address_[0], address_[1], address_[2]);
}

void ASPI::Address(SRB_ExecSCSICmd& srb, int direction) {
    srb.SRB_Flags = static_cast<std::uint8_t>((direction & ~SRB_POSTING) | SRB_EVENT_NOTIFY);
    srb.SRB_SenseLen = SENSE_LEN;
    srb.SRB_HaId = address_[0];
    srb.SRB_Target = address_[1];
    srb.SRB_Lun = address_[2];
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_PostProc = reinterpret_cast<void*>(event_->NativeHandle());
}

int ASPI::exec(int direction, void* buffer, std::uint32_t length) {
    if (!event_) {
        return 0;
    }
    srb_.SRB_BufPointer = static_cast<std::uint8_t*>(buffer);
    srb_.SRB_BufLen = length;
    srb_.SRB_CDBLen = 12;
    event_->Reset();
    Address(srb_, direction);
    if (sendCommand_(&srb_) == SS_PENDING) {
        event_->Wait();
    }
    return srb_.SRB_Status;
}

void ASPI::asyncReset() {
    std::memset(&asyncSrb_, 0, sizeof asyncSrb_);
    if (event_)
        event_->Reset();
    pending_ = 1;
}

bool ASPI::asyncExec(int direction, void* buffer, std::uint32_t length) {
    if (!event_) {
        return false;
    }
    srb_.SRB_BufPointer = static_cast<std::uint8_t*>(buffer);
    srb_.SRB_BufLen = length;
    srb_.SRB_CDBLen = 12;
    if (asyncSrb_.SRB_Cmd == SC_EXEC_SCSI_CMD) {
        if (pending_ == SS_PENDING) {
            event_->Wait();
        }
        if (asyncSrb_.SRB_Status != SS_COMP) {
            std::memcpy(&srb_, &asyncSrb_, sizeof srb_);
            return false;
        }
    }
    event_->Reset();
    Address(srb_, direction);
    std::memcpy(&asyncSrb_, &srb_, sizeof srb_);
    pending_ = sendCommand_(&asyncSrb_);
    srb_.SRB_Status = SS_COMP;
    return true;
}

void ASPI::asyncWait() {
    if (pending_ == SS_PENDING && event_) {
        event_->Wait();
    }
    pending_ = 1;
}

}  // namespace stowra
