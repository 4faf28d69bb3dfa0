#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

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

void IgnoreClosedOutput() {
    // Windows sends no signal for it: the write fails.
}

void Interrupt() {
    interrupted = true;
}

bool IsConsole(int stream) {
    DWORD id = stream == 0 ? STD_INPUT_HANDLE : stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    DWORD mode = 0;
    HANDLE h = ::GetStdHandle(id);
    return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) != 0;
}

bool OutputGone(int /*stream*/) {
    // A write to a pipe without a reader fails on Windows and is noticed where it is made.
    return false;
}

std::uint64_t ProcessId() {
    return ::GetCurrentProcessId();
}

bool ProgramArguments(int argc, char** argv, std::vector<std::string>& out, std::string& refused) {
    int n = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    if (wide == nullptr) {
        out.assign(argv, argv + argc);
        return true;
    }
    out.clear();
    bool ok = true;
    for (int i = 0; i < n && ok; ++i) {
        BOOL lossy = FALSE;
        int size =
            ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide[i], -1, nullptr, 0, nullptr, &lossy);
        std::string text(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
        if (size > 0) {
            ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide[i], -1, text.data(), size, nullptr,
                                  &lossy);
        }
        text.resize(text.size() - 1);  // without the terminating NUL
        if (size <= 0 || lossy) {
            refused = text;  // with the default character where the code page has none
            ok = false;
        }
        out.push_back(std::move(text));
    }
    ::LocalFree(wide);
    return ok;
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
