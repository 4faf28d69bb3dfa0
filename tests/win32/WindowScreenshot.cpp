// Not a test: scripts/screenshot-windows.sh runs it under wine on Xvfb to picture the window after
// a scan. Usage: window_screenshot SOURCE SETTINGS READY
// Opens the window over SETTINGS, scans SOURCE, shows the summary, then writes the window's place
// on the screen ("x y width height") into READY and waits until that file is gone (at most a
// minute), so the script can take the picture.
#include <windows.h>
// (first: the other system headers need its types)

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <string>

#include "win32/TMainForm.h"

namespace {

void RunMessages(int ms) {
    const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
    while (static_cast<int>(end - ::GetTickCount()) > 0) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: window_screenshot SOURCE SETTINGS READY\n", stderr);
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    stowra::TMainForm::Services services;
    services.settingsPath = argv[2];
    services.quitOnDestroy = false;
    stowra::TMainForm form(std::move(services));
    form.EditSrc.SetText(argv[1]);
    form.Show(SW_SHOW);
    RunMessages(300);
    ::SendMessageA(form.ButtonScan, BM_CLICK, 0, 0);
    RunMessages(1500);
    RECT r{};
    ::GetWindowRect(form.Handle(), &r);
    if (FILE* ready = std::fopen(argv[3], "w")) {
        std::fprintf(ready, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        std::fclose(ready);
    }
    for (int i = 0; i < 600 && ::GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES; ++i) {
        RunMessages(100);
    }
    return 0;
}
