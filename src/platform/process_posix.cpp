#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <vector>

#include "platform/Process.h"

namespace stowra {

void RaiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

namespace {
// Written only by the signal handler; a signal handler can reach nothing but such a flag.
volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
}
}  // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a question waiting for an answer returns at once
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    IgnoreClosedOutput();
}

void IgnoreClosedOutput() {
    ::signal(SIGPIPE, SIG_IGN);
}

bool Interrupted() {
    return interrupted != 0;
}

void Interrupt() {
    interrupted = 1;
}

bool IsConsole(int stream) {
    return ::isatty(stream) != 0;
}

bool OutputGone(int stream) {
    // A pipe whose read end is closed polls as an error at once, without a write.
    pollfd p{stream, POLLOUT, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLERR | POLLHUP)) != 0 && ::isatty(stream) == 0;
}

std::uint64_t ProcessId() {
    return static_cast<std::uint64_t>(::getpid());
}

bool ProgramArguments(int argc, char** argv, std::vector<std::string>& out, std::string& /*refused*/) {
    out.assign(argv, argv + argc);
    return true;
}

std::string ProgramPath() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<std::size_t>(n) < buf.size()) {
            return std::string(buf.data(), static_cast<std::size_t>(n));
        }
        buf.resize(buf.size() * 2);
    }
}

}  // namespace stowra
