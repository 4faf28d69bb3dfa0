#include "cli/CliWindow.h"

#include <unistd.h>

#include <iostream>
#include <string>

#include "platform/Process.h"
#include "platform/Text.h"

namespace stowra::cli {

std::string ForTerminal(std::string_view text, bool keepLineFeeds) {
    std::string out;
    out.reserve(text.size());
    auto escape = [&out](unsigned char c) {
        const char octal[] = {'\\', static_cast<char>('0' + (c >> 6)),
                              static_cast<char>('0' + ((c >> 3) & 7)), static_cast<char>('0' + (c & 7))};
        out.append(octal, sizeof octal);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && !(keepLineFeeds && c == '\n')) || c == 0x7F) {
            escape(c);
        } else if (kNativeCodepage == Codepage::Utf8 && c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080 to U+009F, which some terminals obey as control characters (CSI among them).
            escape(c);
            escape(static_cast<unsigned char>(text[++i]));
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string ForStream(int stream, std::string_view text, bool keepLineFeeds) {
    return IsConsole(stream) ? ForTerminal(text, keepLineFeeds) : std::string(text);
}

bool CliWindow::ScanCancelled() {
    return Interrupted();
}

void CliWindow::ScanProgress(const std::string& text, bool done) {
    if (!IsConsole(2)) {
        return;
    }
    if (done) {
        if (progressLine_) {
            std::fputs("\r\033[K", stderr);  // the counts go; the report says what was found
            progressLine_ = false;
        }
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    // The first line waits a moment, so a small folder's scan prints nothing at all.
    if (progressShown_ == std::chrono::steady_clock::time_point{}) {
        progressShown_ = now;
        return;
    }
    if (now - progressShown_ >= std::chrono::milliseconds(100)) {
        progressShown_ = now;
        std::fprintf(stderr, "\r%s\033[K", text.c_str());
        std::fflush(stderr);
        progressLine_ = true;
    }
}

MessageAnswer TerminalPrompter::Ask(std::string_view text, std::string_view caption, MessageIcon /*icon*/,
                                    MessageButtons buttons) {
    if (beforePrint) {
        beforePrint();
    }
    if (!caption.empty()) {
        std::cerr << "[" << caption << "] ";
    }
    std::cerr << ForStream(2, text, true) << "\n";
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
        return atEnd_;
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
