#include "cli/CliWindow.h"

#include <unistd.h>

#include <iostream>
#include <string>

#include "platform/Process.h"

namespace stowra::cli {

bool CliWindow::ScanCancelled() {
    return Interrupted();
}

MessageAnswer TerminalPrompter::Ask(std::string_view text, std::string_view caption, MessageIcon /*icon*/,
                                    MessageButtons buttons) {
    if (!caption.empty()) {
        std::cerr << "[" << caption << "] ";
    }
    std::cerr << text << "\n";
    if (buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    if (assumeYes_) {
        return buttons == MessageButtons::OkCancel ? MessageAnswer::Ok : MessageAnswer::Yes;
    }
    const char* choices = buttons == MessageButtons::OkCancel ? " [y/N] "
                          : buttons == MessageButtons::YesNo
                              ? " [y/N] "
                              : " [y=replace / a=replace all / n=skip / c=cancel] ";
    std::cerr << choices << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) {
        return MessageAnswer::Cancel;
    }
    char c = line.empty() ? 'n' : line[0];
    switch (buttons) {
        case MessageButtons::OkCancel:
            return (c == 'y' || c == 'Y') ? MessageAnswer::Ok : MessageAnswer::Cancel;
        case MessageButtons::YesNo:
            return (c == 'y' || c == 'Y') ? MessageAnswer::Yes : MessageAnswer::No;
        default:
            if (c == 'y' || c == 'Y')
                return MessageAnswer::Yes;
            if (c == 'a' || c == 'A')
                return MessageAnswer::YesToAll;
            if (c == 'c' || c == 'C')
                return MessageAnswer::Cancel;
            return MessageAnswer::No;
    }
}

}  // namespace stowra::cli
