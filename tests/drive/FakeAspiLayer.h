#pragma once
// Keeps the test build of the ASPI library loaded and sets up its adapters and devices.

#include <dlfcn.h>

#include <cstdint>
#include <stdexcept>

#include "support/EmulatedDrive.h"

namespace stowra::test {

class FakeAspiLayer {
public:
    FakeAspiLayer() : handle_(::dlopen(FAKE_ASPI, RTLD_NOW)) {
        if (handle_ == nullptr)
            throw std::runtime_error(::dlerror());
        reset_ = reinterpret_cast<void (*)()>(::dlsym(handle_, "EmuAspiReset"));
        status_ = reinterpret_cast<void (*)(std::uint8_t)>(::dlsym(handle_, "EmuAspiSetSupportStatus"));
        adapter_ = reinterpret_cast<void (*)(std::uint8_t)>(::dlsym(handle_, "EmuAspiAddAdapter"));
        device_ =
            reinterpret_cast<void (*)(int, int, std::uint8_t, void*)>(::dlsym(handle_, "EmuAspiAddDevice"));
        join_ = reinterpret_cast<void (*)()>(::dlsym(handle_, "EmuAspiJoin"));
        reset_();
    }
    ~FakeAspiLayer() {
        reset_();
        ::dlclose(handle_);
    }
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
    void* handle_;
    void (*reset_)();
    void (*join_)();
    void (*status_)(std::uint8_t);
    void (*adapter_)(std::uint8_t);
    void (*device_)(int, int, std::uint8_t, void*);
};

}  // namespace stowra::test
