#pragma once
// The command line's stand-in for the main window: the log is kept in memory and printed at the
// end, messages go to standard error, and questions are answered on the terminal.

#include <cstdio>
#include <string>

#include "packing/ScanSession.h"
#include "platform/LogRecorder.h"

namespace stowra::cli {

class TerminalPrompter : public Prompter {
public:
    // With assumeYes every question is answered with OK (or Yes) without asking.
    explicit TerminalPrompter(bool assumeYes) : assumeYes_(assumeYes) {}
    MessageAnswer Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                      MessageButtons buttons) override;

private:
    bool assumeYes_;
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
    ScanState state;
    bool writesIndex = false;  // a move that follows writes index files onto the discs

private:
    LogRecorder log_;
    TerminalPrompter prompter_;
};

}  // namespace stowra::cli
