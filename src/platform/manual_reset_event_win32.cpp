#include <windows.h>

#include "platform/ManualResetEvent.h"

namespace stowra {

ManualResetEvent::ManualResetEvent() : handle_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

ManualResetEvent::~ManualResetEvent() {
    if (handle_ != nullptr) {
        ::CloseHandle(handle_);
    }
}

void ManualResetEvent::Set() {
    if (handle_ != nullptr) {
        ::SetEvent(handle_);
    }
}

void ManualResetEvent::Reset() {
    if (handle_ != nullptr) {
        ::ResetEvent(handle_);
    }
}

bool ManualResetEvent::WaitFor(int timeout_ms) const {
    if (handle_ == nullptr) {
        return true;  // an event that could not be made never blocks: waiting on it would be forever
    }
    const DWORD limit = timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms);
    return ::WaitForSingleObject(handle_, limit) == WAIT_OBJECT_0;
}

void ManualResetEvent::Wait() const {
    WaitFor(-1);
}

}  // namespace stowra
