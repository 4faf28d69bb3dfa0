#pragma once
// The command line's stand-in for the main window: the log is kept in memory and printed at the
// end, messages go to standard error, and questions are answered on the terminal.

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "frontend/LogRecorder.h"
#include "packing/ScanSession.h"

namespace stowra::cli {

// Text for a terminal: control characters (C0, DEL, and on UTF-8 systems C1) written as "\ooo"
// octal escapes, so that a file name cannot clear the screen, set the window title, write to the
// clipboard or overwrite what was printed before it. With keepLineFeeds a line feed stays one
// (for texts of our own that carry names).
std::string ForTerminal(std::string_view text, bool keepLineFeeds);
// The text as it should go to the standard stream: escaped for a console, the bytes as they are
// for files and pipes.
std::string ForStream(int stream, std::string_view text, bool keepLineFeeds);

class TerminalPrompter : public Prompter {
public:
    // With assumeYes every question is answered with OK (or Yes) without asking. `atEnd` is the
    // answer when the input has ended before an answer came.
    explicit TerminalPrompter(bool assumeYes, MessageAnswer atEnd = MessageAnswer::Cancel)
        : assumeYes_(assumeYes), atEnd_(atEnd) {}
    // Called before anything is printed (a progress line on the terminal ends first).
    MessageAnswer Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                      MessageButtons buttons) override;
    std::function<void()> beforePrint;

private:
    bool assumeYes_;
    MessageAnswer atEnd_;
};

class CliWindow : public ScanWindow {
public:
    explicit CliWindow(bool assumeYes) : prompter_(assumeYes) {}
    LogPane& Log() override { return log_; }
    Prompter& Messages() override { return prompter_; }
    void ClearResults() override {
        state.Clear();
        log_.Clear();
    }

    const LogRecorder& Recorded() const { return log_; }
    // Ctrl-C stops the walk (once interrupts are caught).
    bool ScanCancelled() override;
    // On a terminal, one line on standard error that counts what the walk finds, erased when it
    // ends; nothing for files and pipes, so scripts and JSON stay clean.
    void ScanProgress(const std::string& text, bool done) override;
    ScanState state;
    bool writesIndex = false;      // a move that follows writes index files onto the discs
    bool writesChecksums = false;  // and checksum files

private:
    LogRecorder log_;
    TerminalPrompter prompter_;
    bool progressLine_ = false;  // a progress line stands on the terminal
    std::chrono::steady_clock::time_point progressShown_{};
};

}  // namespace stowra::cli
