// A build of the ASPI library for tests: the three entry points over emulated drives, plus
// functions (prefixed Emu) through which a test sets up adapters and devices.

#ifdef _WIN32
#include <windows.h>
#define FAKE_ASPI_EXPORT __declspec(dllexport)
#else
#include <unistd.h>
#define FAKE_ASPI_EXPORT __attribute__((visibility("default")))
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "drive/AspiTypes.h"
#include "support/EmulatedDrive.h"

using namespace stowra;
using namespace stowra::aspi;

namespace {

struct Device {
    int adapter;
    int target;
    std::uint8_t type;
    test::EmulatedDrive* drive;
};

struct Layer {
    std::uint8_t supportStatus = SS_COMP;
    std::vector<std::uint8_t> adapters;  // maximum-target byte of each
    std::vector<Device> devices;
    // Commands complete later, on a thread of the library's own, as a real ASPI layer's do: a
    // caller that does not wait for the completion event reads a request still pending.
    std::thread completion;
    ~Layer() { Join(); }
    void Join() {
        if (completion.joinable()) {
            completion.join();
        }
    }
};

Layer& State() {
    static Layer layer;
    return layer;
}

[[maybe_unused]] Device* Find(int adapter, int target, int lun) {
    if (lun != 0)
        return nullptr;
    for (Device& d : State().devices) {
        if (d.adapter == adapter && d.target == target)
            return &d;
    }
    return nullptr;
}

}  // namespace

extern "C" {

FAKE_ASPI_EXPORT void EmuAspiReset() {
    State().Join();
    State().supportStatus = SS_COMP;
    State().adapters.clear();
    State().devices.clear();
}
// Waits until the last command has completed and signalled its event.
FAKE_ASPI_EXPORT void EmuAspiJoin() {
    State().Join();
}
FAKE_ASPI_EXPORT void EmuAspiSetSupportStatus(std::uint8_t status) {
    State().supportStatus = status;
}
FAKE_ASPI_EXPORT void EmuAspiAddAdapter(std::uint8_t maxTargets) {
    State().adapters.push_back(maxTargets);
}
FAKE_ASPI_EXPORT void EmuAspiAddDevice(int adapter, int target, std::uint8_t type, void* drive) {
    State().devices.push_back({adapter, target, type, static_cast<test::EmulatedDrive*>(drive)});
}

FAKE_ASPI_EXPORT std::uint32_t GetASPI32SupportInfo() {
    return static_cast<std::uint32_t>(State().supportStatus) << 8 | (State().adapters.size() & 0xFF);
}

FAKE_ASPI_EXPORT std::uint32_t GetASPI32DLLVersion() {
    return 0x00040006;
}

#ifndef FAKE_ASPI_WITHOUT_SEND
FAKE_ASPI_EXPORT std::uint32_t SendASPI32Command(void* request) {
    auto* header = static_cast<std::uint8_t*>(request);
    switch (header[0]) {
        case SC_HA_INQUIRY: {
            auto* srb = static_cast<SRB_HAInquiry*>(request);
            if (srb->SRB_HaId >= State().adapters.size()) {
                srb->SRB_Status = 0x81;  // invalid adapter
                return srb->SRB_Status;
            }
            srb->HA_Count = static_cast<std::uint8_t>(State().adapters.size());
            srb->HA_Unique[3] = State().adapters[srb->SRB_HaId];
            srb->SRB_Status = SS_COMP;
            return SS_COMP;
        }
        case SC_GET_DEV_TYPE: {
            auto* srb = static_cast<SRB_GDEVBlock*>(request);
            Device* d = Find(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
            srb->SRB_Status = d != nullptr ? SS_COMP : 0x82;  // no device
            srb->SRB_DeviceType = d != nullptr ? d->type : 0x1F;
            return srb->SRB_Status;
        }
        case SC_EXEC_SCSI_CMD: {
            auto* srb = static_cast<SRB_ExecSCSICmd*>(request);
            State().Join();  // one command at a time, as the callers send them
            srb->SRB_Status = SS_PENDING;
            Device* d = Find(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
            State().completion = std::thread([srb, d] {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                std::uint8_t status;
                if (d == nullptr || d->drive == nullptr) {
                    status = 0x82;
                } else {
                    DataDirection dir = (srb->SRB_Flags & SRB_DIR_IN)    ? DataDirection::In
                                        : (srb->SRB_Flags & SRB_DIR_OUT) ? DataDirection::Out
                                                                         : DataDirection::None;
                    auto out = d->drive->Execute(srb->CDBByte, srb->SRB_CDBLen, dir, srb->SRB_BufPointer,
                                                 srb->SRB_BufLen);
                    srb->SRB_TargStat = out.status;
                    srb->SRB_HaStat = static_cast<std::uint8_t>(out.hostStatus);
                    status = out.status == 0 && out.hostStatus == 0 ? SS_COMP : SS_ERR;
                    std::memcpy(srb->SenseArea, out.sense,
                                std::min<std::size_t>(srb->SRB_SenseLen, sizeof out.sense));
                }
                srb->SRB_Status = status;
                if (srb->SRB_Flags & SRB_EVENT_NOTIFY) {
#ifdef _WIN32
                    ::SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
#else
                    std::uint64_t one = 1;
                    [[maybe_unused]] ssize_t n =
                        ::write(static_cast<int>(reinterpret_cast<std::intptr_t>(srb->SRB_PostProc)), &one,
                                sizeof one);
#endif
                }
            });
            return SS_PENDING;
        }
        default:
            header[1] = 0x80;  // invalid command
            return 0x80;
    }
}
#endif
}
