#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/ManualResetEvent.h"

namespace stowra {

ManualResetEvent::ManualResetEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ManualResetEvent::~ManualResetEvent() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void ManualResetEvent::Set() {
    std::uint64_t one = 1;
    // A full counter means the event is signalled already.
    [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

void ManualResetEvent::Reset() {
    std::uint64_t count = 0;
    while (::read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool ManualResetEvent::WaitFor(int timeout_ms) const {
    if (fd_ < 0) {
        return true;  // an event that could not be made never blocks: waiting on it would be forever
    }
    pollfd p{fd_, POLLIN, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeout_ms);
        if (r > 0)
            return true;
        if (r == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

void ManualResetEvent::Wait() const {
    WaitFor(-1);
}

}  // namespace stowra
