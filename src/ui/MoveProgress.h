#pragma once
// The move's progress as every front end shows it, and the rule for its messages: the question
// about replacing a file belongs to the file operation and is asked over the progress, while any
// other message comes after the operation has ended, so the progress closes before it. Nothing is
// left to cancel then.

#include <chrono>
#include <string>

#include "frontend/FrontEnd.h"

namespace stowra {

// A front end's progress window with Cancel.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    // Shows the window (the first call opens it) with a label and a position of 0 to 1000, and
    // lets the window system run, so the window is painted and Cancel can be clicked.
    virtual void ShowProgress(const std::string& label, int permille) = 0;
    // Whether Cancel was clicked; asked for every file, so it must cost nothing.
    virtual bool CancelRequested() = 0;
    virtual void CloseProgress() = 0;
};

// The label under the progress bar.
std::string MoveProgressLabel(const MoveProgress& progress);
// How far the batch has come, 0 to 1000: by bytes when bytes are copied, else by files.
int MoveProgressPermille(const MoveProgress& progress);

class MoveProgressModel : public ProgressSink, public Prompter {
public:
    // The window is redrawn at most once per `interval`: a move of many small files renames
    // thousands of them a second, and drawing each would make the move wait for the screen.
    MoveProgressModel(ProgressView& view, Prompter& messages,
                      std::chrono::milliseconds interval = std::chrono::milliseconds(100))
        : view_(view), messages_(messages), interval_(interval) {}
    bool Progress(const MoveProgress& progress) override;
    MessageAnswer Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                      MessageButtons buttons) override;
    // Closes the progress for good; later reports of the same move show nothing.
    void Close();

private:
    ProgressView& view_;
    Prompter& messages_;
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point lastShown_;
    bool shown_ = false;
    bool ended_ = false;
    bool checksums_ = false;  // the checksums after the move are being shown
};

}  // namespace stowra
