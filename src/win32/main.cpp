// Stowra: the desktop program on Windows.

#include <windows.h>
// (first: the other system headers need its types)

#include <commctrl.h>
#include <objbase.h>

#include <clocale>
#include <cstdlib>
#include <exception>

#include "platform/Process.h"
#include "settings/SettingsFile.h"
#include "win32/TMainForm.h"
#include "win32/WinPrompter.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int show) {
    std::setlocale(LC_ALL, "");
    stowra::RaiseOpenFileLimit();
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the folder browser's
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    int status = 1;
    try {
        stowra::TMainForm::Services services;
        services.settingsPath = stowra::SettingsPath();
        stowra::TMainForm form(std::move(services));
        if (!form.StartRefused()) {
            // As the window on Linux: the first argument that is not an option is the source
            // folder to start with.
            for (int i = 1; i < __argc; ++i) {
                if (__argv[i][0] != '-') {
                    form.EditSrc.SetText(__argv[i]);
                    break;
                }
            }
            form.Show(show);
            MSG msg;
            while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
                if (form.Handle() == nullptr || !::IsDialogMessageA(form.Handle(), &msg)) {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageA(&msg);
                }
            }
            status = static_cast<int>(msg.wParam);
        }
    } catch (const std::exception& e) {
        ::MessageBoxA(nullptr, e.what(), stowra::kProgramCaption, MB_ICONSTOP | MB_OK);
    }
    if (SUCCEEDED(com)) {
        ::CoUninitialize();
    }
    return status;
}
