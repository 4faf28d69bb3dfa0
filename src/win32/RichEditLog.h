#pragma once
// The log pane on a RichEdit control: text goes in at the end in the colour set last, and the
// pane, with the panes beside it, is painted at once before long work starts.

#include <windows.h>

#include <string_view>
#include <vector>

#include "frontend/FrontEnd.h"

namespace stowra {

class RichEditLog : public LogPane {
public:
    RichEditLog() = default;
    void Attach(HWND edit, std::vector<HWND> alongside) {
        edit_ = edit;
        alongside_ = std::move(alongside);
    }
    void Clear() override;
    void SetColor(LogColor color) override { color_ = color; }
    void Insert(std::string_view text) override;
    void Repaint() override;

private:
    HWND edit_ = nullptr;
    std::vector<HWND> alongside_;
    LogColor color_ = LogColor::WindowText;
};

}  // namespace stowra
