// Figures of the Windows window under wine: start to first paint, the scan through the window's
// button, the list view showing the last file of a disc, and the close. Prints milliseconds.
// Usage: win32_window_bench paint SETTINGS
//        win32_window_bench scan SETTINGS SOURCE
//        win32_window_bench list SETTINGS SOURCE   (the first disc's files, then its last row)
#include <windows.h>
// (first: the other system headers need its types)

#include <commctrl.h>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "win32/TMainForm.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// Since the process was created, as the system counts it.
double MsSinceStart() {
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    ::GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::strcmp(argv[1], "paint") != 0 && argc < 4)) {
        std::fputs("usage: win32_window_bench paint|scan|list SETTINGS [SOURCE]\n", stderr);
        return 2;
    }
    const std::string mode = argv[1];
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    stowra::TMainForm::Services services;
    services.settingsPath = argv[2];
    services.quitOnDestroy = false;
    auto window = std::make_unique<stowra::TMainForm>(std::move(services));
    stowra::TMainForm& form = *window;
    form.Show(SW_SHOW);  // returns once the window has painted
    if (mode == "paint") {
        std::printf("first paint %.1f ms after the process started\n", MsSinceStart());
    } else {
        form.EditSrc.SetText(argv[3]);
        const auto scan = Clock::now();
        ::SendMessageA(form.ButtonScan, BM_CLICK, 0, 0);
        std::printf("scan %.1f ms\n", Ms(scan));
    }
    if (mode == "list") {
        HTREEITEM disc = TreeView_GetChild(form.TreeView, TreeView_GetRoot(form.TreeView));
        const auto select = Clock::now();
        TreeView_SelectItem(form.TreeView, disc);
        ::UpdateWindow(form.ListView);
        const double selected = Ms(select);
        const int rows = static_cast<int>(::SendMessageA(form.ListView, LVM_GETITEMCOUNT, 0, 0));
        const auto last = Clock::now();
        ListView_EnsureVisible(form.ListView, rows - 1, FALSE);
        ::UpdateWindow(form.ListView);
        const double shown = Ms(last);
        char text[512] = {};
        ListView_GetItemText(form.ListView, rows - 1, 0, text, sizeof text);
        std::printf("disc of %d files listed in %.1f ms; its last row (%s) shown in %.1f ms\n", rows,
                    selected, text, shown);
    }
    const auto close = Clock::now();
    window.reset();
    std::printf("closed in %.1f ms\n", Ms(close));
    std::fflush(stdout);
    return 0;
}
