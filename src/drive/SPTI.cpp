#include "drive/SPTI.h"

#include <cstring>

#include "platform/Translation.h"

namespace stowra {

SPTI::SPTI(std::shared_ptr<DriveAccess> access) : access_(std::move(access)) {
    if (!done_.Valid() || !start_.Valid()) {
        eventsMissing_ = true;  // no worker, no drives: nothing can wait on an event that is not there
        return;
    }
    try {
        worker_ = std::thread([this] { Worker(); });
    } catch (const std::system_error&) {
        return;  // without its worker the transport lists no drive
    }
    init();
}

SPTI::~SPTI() {
    if (worker_.joinable()) {
        {
            std::lock_guard lock(blockMutex_);
            stop_ = true;
        }
        start_.Set();
        worker_.join();
    }
    if (device_ >= 0) {
        access_->Close(device_);
    }
}

void SPTI::init() {
    devices_ = access_->ListDrives();
    if (devices_.size() > 26) {
        devices_.resize(26);
    }
    count_ = static_cast<int>(devices_.size());
    if (count_ > 0) {
        selectDevice(0);
    }
}

void SPTI::selectDevice(int index) {
    if (count_ == 0) {
        return;
    }
    selected_ = ClampIndex(index, count_);
    if (device_ >= 0) {
        access_->Close(device_);
        device_ = -1;
    }
    int handle = access_->Open(devices_[static_cast<std::size_t>(selected_)]);
    device_ = handle >= 0 ? handle : -1;
    openError_ = handle >= 0 ? 0 : -handle;
}

std::string SPTI::problem() {
    if (eventsMissing_) {
        return Tr(kNoEventMessage);
    }
    if (device_ >= 0 || count_ == 0) {
        return {};
    }
    return DriveOpenProblem(DriveAddress(devices_[static_cast<std::size_t>(selected_)]), openError_);
}

std::string SPTI::AddressText() {
    return selected_ < count_ ? DriveAddress(devices_[static_cast<std::size_t>(selected_)]) : std::string();
}

void SPTI::FillBlock(int direction, void* buffer, std::uint32_t length) {
    block_ = PassThroughCommand{};
    std::memcpy(block_.cdb, srb_.CDBByte, sizeof block_.cdb);
    // The Linux pass-through sends exactly the length it is given: the opcode's group decides it.
    block_.cdbLength = CdbLengthOf(srb_.CDBByte[0]);
    block_.direction = (direction & kDataIn)    ? DataDirection::In
                       : (direction & kDataOut) ? DataDirection::Out
                                                : DataDirection::None;
    block_.buffer = buffer;
    block_.length = length;
    block_.timeout_s = 65535;
}

void SPTI::CopySense() {
    std::memcpy(srb_.SenseArea, block_.sense, sizeof block_.sense);
}

int SPTI::exec(int direction, void* buffer, std::uint32_t length) {
    std::lock_guard lock(blockMutex_);
    srb_.SRB_Flags = static_cast<std::uint8_t>(direction);
    srb_.SRB_BufPointer = static_cast<std::uint8_t*>(buffer);
    srb_.SRB_BufLen = length;
    srb_.SRB_CDBLen = 10;
    FillBlock(direction, buffer, length);

    const bool aligned = reinterpret_cast<std::uintptr_t>(buffer) % 16 == 0;
    if (!aligned && length > 0) {
        if (static_cast<std::int64_t>(length) > bounce_.size()) {
            bounce_.alloc(static_cast<std::int32_t>(length));
        }
        if (block_.direction == DataDirection::Out) {
            std::memcpy(bounce_.data(), buffer, length);
        }
        block_.buffer = bounce_.data();
    }
    bool ok = SendPassThrough(*access_, device_, block_);
    srb_.SRB_Status = ok ? 1 : 0;
    if (!aligned && length > 0 && block_.direction == DataDirection::In) {
        std::memcpy(buffer, bounce_.data(), length);
    }
    CopySense();
    return srb_.SRB_Status;
}

void SPTI::Worker() {
    for (;;) {
        start_.Wait();
        start_.Reset();
        std::lock_guard lock(blockMutex_);
        if (stop_) {
            break;
        }
        workerResult_ = SendPassThrough(*access_, device_, block_);
        done_.Set();
    }
}

void SPTI::asyncReset() {
    done_.Set();
    start_.Reset();
    std::lock_guard lock(blockMutex_);
    block_ = PassThroughCommand{};
    workerResult_ = true;
}

bool SPTI::asyncExec(int direction, void* buffer, std::uint32_t length) {
    srb_.SRB_Flags = static_cast<std::uint8_t>(direction);
    srb_.SRB_BufPointer = static_cast<std::uint8_t*>(buffer);
    srb_.SRB_BufLen = length;
    srb_.SRB_CDBLen = 12;
    done_.Wait();
    std::lock_guard lock(blockMutex_);
    if (!workerResult_) {
        CopySense();
        return false;
    }
    srb_.SRB_Status = 1;
    CopySense();
    // The caller's buffer is used as it is: asynchronous callers pass aligned buffers.
    FillBlock(direction, buffer, length);
    done_.Reset();
    start_.Set();
    return true;
}

void SPTI::asyncWait() {
    done_.Wait();
    std::lock_guard lock(blockMutex_);
    workerResult_ = true;
}

}  // namespace stowra
