#include <windows.h>

#include <atomic>
#include <vector>

#include "platform/Process.h"

namespace stowra {

void RaiseOpenFileLimit() {
    // Windows has no per-process descriptor limit to raise: the walk opens folders by path.
}

namespace {
// Set by the console's control handler, which runs on a thread of its own.
std::atomic<bool> interrupted{false};

BOOL WINAPI OnControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            interrupted = true;
            return TRUE;
        default:
            return FALSE;
    }
}
}  // namespace

void CatchInterrupts() {
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

bool Interrupted() {
    return interrupted;
}

bool ProcessRuns(std::uint64_t id) {
    if (id == ::GetCurrentProcessId()) {
        return true;
    }
    HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (h == nullptr) {
        // Refused access means the process exists (someone else's); anything else, that it is gone.
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    }
    bool running = ::WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    ::CloseHandle(h);
    return running;
}

std::uint64_t ProcessId() {
    return ::GetCurrentProcessId();
}

std::string ProgramPath() {
    std::vector<char> buf(MAX_PATH + 1);
    for (;;) {
        DWORD n = ::GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) {
            return {};
        }
        if (n < buf.size()) {
            return std::string(buf.data(), n);
        }
        buf.resize(buf.size() * 2);
    }
}

}  // namespace stowra
