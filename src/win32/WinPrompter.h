#pragma once
// Message boxes of the Windows program. A box belongs to the window it is about: the innermost
// dialog or progress window open at the time, else the main window, which it disables while it
// waits for the answer.

#include <windows.h>

#include <string>
#include <vector>

#include "frontend/FrontEnd.h"

namespace stowra {

class WinPrompter : public Prompter {
public:
    void SetMain(HWND main) { main_ = main; }
    MessageAnswer Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                      MessageButtons buttons) override;
    HWND Owner() const { return modal_.empty() ? main_ : modal_.back(); }
    // While a box waits for the user the pointer is the normal one, whatever work is under way.
    bool Asking() const { return asking_ > 0; }

    // A dialog or progress window the boxes belong to while it is open.
    class Scope {
    public:
        Scope(WinPrompter& prompter, HWND window) : prompter_(prompter) {
            prompter_.modal_.push_back(window);
        }
        ~Scope() { prompter_.modal_.pop_back(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        WinPrompter& prompter_;
    };

private:
    HWND main_ = nullptr;
    std::vector<HWND> modal_;
    int asking_ = 0;
};

// The box's caption when the message has none of its own.
inline constexpr char kProgramCaption[] = "Stowra";

}  // namespace stowra
