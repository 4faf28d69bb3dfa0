#pragma once
// Recorders that stand in for the window in tests: the log pane keeps its coloured text, the
// prompter keeps every question and answers from a script.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "frontend/LogRecorder.h"
#include "packing/ScanSession.h"

namespace stowra::test {

class ScriptedPrompter : public Prompter {
public:
    struct Question {
        std::string text;
        std::string caption;
        MessageIcon icon;
        MessageButtons buttons;
    };

    // Answers given in order; when they run out, OK (or Yes) is the answer.
    std::deque<MessageAnswer> answers;
    std::vector<Question> asked;
    std::function<void()> onAsk;  // called with each question, while it is shown

    MessageAnswer Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                      MessageButtons buttons) override {
        asked.push_back({std::string(text), std::string(caption), icon, buttons});
        if (onAsk) {
            onAsk();
        }
        if (!answers.empty()) {
            MessageAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == MessageButtons::YesNo || buttons == MessageButtons::YesAllNoCancel
                   ? MessageAnswer::Yes
                   : MessageAnswer::Ok;
    }
};

class RecordingWindow : public ScanWindow {
public:
    LogRecorder log;
    ScriptedPrompter prompter;
    ScanState state;
    int clears = 0;
    int shows = 0;
    bool moveEnabled = false;
    int cancelAfter = -1;  // answers "cancelled" from this poll of the scan on; -1 never
    int polls = 0;

    std::vector<std::string> progress;  // each report of the walk, the last one with `done`
    bool progressDone = false;

    bool ScanCancelled() override { return cancelAfter >= 0 && polls++ >= cancelAfter; }
    void ScanProgress(const std::string& text, bool done) override {
        progress.push_back(text);
        progressDone = done;
    }

    LogPane& Log() override { return log; }
    Prompter& Messages() override { return prompter; }
    void ClearResults() override {
        ++clears;
        state.Clear();
        log.Clear();
        moveEnabled = false;
    }
    void ShowResult() override { ++shows; }
    void SetMoveEnabled(bool enabled) override { moveEnabled = enabled; }
};

}  // namespace stowra::test
