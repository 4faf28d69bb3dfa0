#pragma once
// A manual-reset event: once set it stays signalled, waking every waiter, until reset. On Linux it
// is an eventfd, so another library (the ASPI layer) can signal it through its descriptor; on
// Windows an event object, which that library signals with SetEvent on its handle.

#include <cstdint>

namespace stowra {

class ManualResetEvent {
public:
    ManualResetEvent();  // created non-signalled
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    // Version 14 of the formatter would break up the short functions of a class with #ifdef in it.
    // clang-format off
#ifdef _WIN32
    bool Valid() const { return handle_ != nullptr; }
    // The event object's handle, which another component passes to SetEvent.
    std::intptr_t NativeHandle() const { return reinterpret_cast<std::intptr_t>(handle_); }
#else
    bool Valid() const { return fd_ >= 0; }
    // The descriptor another component writes to (an 8-byte count) to signal the event.
    std::intptr_t NativeHandle() const { return fd_; }
#endif
    void Set();
    void Reset();
    void Wait() const;                   // without a time limit
    bool WaitFor(int timeout_ms) const;  // false on time-out
    bool IsSet() const { return WaitFor(0); }

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    // clang-format on
};

}  // namespace stowra
