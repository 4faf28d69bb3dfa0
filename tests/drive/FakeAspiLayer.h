#pragma once
// Keeps the test build of the ASPI library loaded and sets up its adapters and devices.

#include <cstdint>
#include <stdexcept>

#include "platform/DynamicLibrary.h"
#include "support/EmulatedDrive.h"

namespace stowra::test {

class FakeAspiLayer {
public:
    FakeAspiLayer() : library_(FAKE_ASPI) {
        reset_ = reinterpret_cast<void (*)()>(library_.Symbol("EmuAspiReset"));
        status_ = reinterpret_cast<void (*)(std::uint8_t)>(library_.Symbol("EmuAspiSetSupportStatus"));
        adapter_ = reinterpret_cast<void (*)(std::uint8_t)>(library_.Symbol("EmuAspiAddAdapter"));
        device_ =
            reinterpret_cast<void (*)(int, int, std::uint8_t, void*)>(library_.Symbol("EmuAspiAddDevice"));
        join_ = reinterpret_cast<void (*)()>(library_.Symbol("EmuAspiJoin"));
        if (!reset_ || !status_ || !adapter_ || !device_ || !join_)
            throw std::runtime_error("the test build of the ASPI library did not load: " FAKE_ASPI);
        reset_();
    }
    ~FakeAspiLayer() { reset_(); }
    FakeAspiLayer(const FakeAspiLayer&) = delete;
    FakeAspiLayer& operator=(const FakeAspiLayer&) = delete;

    void SupportStatus(std::uint8_t status) { status_(status); }
    // Waits until the command sent last has completed and signalled its event.
    void Join() { join_(); }
    void Adapter(std::uint8_t maxTargets) { adapter_(maxTargets); }
    void Device(int adapter, int target, EmulatedDrive* drive, std::uint8_t type = 5) {
        device_(adapter, target, type, drive);
    }

private:
    DynamicLibrary library_;
    void (*reset_)();
    void (*join_)();
    void (*status_)(std::uint8_t);
    void (*adapter_)(std::uint8_t);
    void (*device_)(int, int, std::uint8_t, void*);
};

}  // namespace stowra::test
