#pragma once
// The tooltips of one window: each control's text, shown for 5 seconds, and changed as the
// window's rules say.

#include <windows.h>

#include <string>

namespace stowra {

inline constexpr int kTooltipVisibleMs = 5000;

class Tooltips {
public:
    Tooltips() = default;
    ~Tooltips();
    Tooltips(const Tooltips&) = delete;
    Tooltips& operator=(const Tooltips&) = delete;

    void Create(HWND owner);
    // Sets the tooltip of `tool` (added on first use); an empty text shows none.
    void Set(HWND tool, const std::string& text);
    std::string Get(HWND tool) const;
    HWND Handle() const { return tips_; }

private:
    HWND owner_ = nullptr;
    HWND tips_ = nullptr;
};

}  // namespace stowra
