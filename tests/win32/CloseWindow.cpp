// Waits up to a minute for Stowra's main window to open and be shown, then asks it to close.
// Exit code 0 when it was found and closed, 1 when it never opened.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    for (int tries = 0; tries < 600; ++tries) {
        HWND window = ::FindWindowA("StowraMainForm", nullptr);
        if (window != nullptr && ::IsWindowVisible(window)) {
            ::PostMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        }
        ::Sleep(100);
    }
    return 1;
}
