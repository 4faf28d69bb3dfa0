// Times a scan and a move through the desktop window, as a user's two clicks, with every
// question answered Yes: for comparison with `stowra-cli move` on the same tree.
// Usage: window_move SETTINGS_FILE SOURCE DESTINATION   (QT_QPA_PLATFORM=offscreen works)

#include <QApplication>
#include <chrono>
#include <cstdio>

#include "app/TMainForm.h"

namespace {

class Yes : public stowra::Prompter {
public:
    stowra::MessageAnswer Ask(std::string_view, std::string_view, stowra::MessageIcon,
                              stowra::MessageButtons buttons) override {
        return buttons == stowra::MessageButtons::YesNo || buttons == stowra::MessageButtons::YesAllNoCancel
                   ? stowra::MessageAnswer::Yes
                   : stowra::MessageAnswer::Ok;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: window_move SETTINGS_FILE SOURCE DESTINATION\n");
        return 2;
    }
    QApplication app(argc, argv);
    Yes yes;
    stowra::TMainForm::Services services;
    services.settingsPath = argv[1];
    services.prompter = &yes;
    stowra::TMainForm form(std::move(services));
    form.show();
    form.EditSrc->SetNativeText(argv[2]);
    form.EditDst->SetNativeText(argv[3]);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    form.ButtonScanClick();
    const Clock::time_point scanned = Clock::now();
    form.ButtonMoveClick();
    const Clock::time_point moved = Clock::now();
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    std::printf("scan %.3f s, move %.3f s, both %.3f s\n", seconds(scanned - start), seconds(moved - scanned),
                seconds(moved - start));
    return 0;
}
