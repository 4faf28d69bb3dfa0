#pragma once
// The hourglass while a dialog works for a moment on the user's behalf (listing drives, opening
// one), and the cursor it replaced again afterwards.

#include <windows.h>

namespace stowra {

class WaitCursor {
public:
    WaitCursor() : previous_(::SetCursor(::LoadCursorA(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { ::SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

}  // namespace stowra
