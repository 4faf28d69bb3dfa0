#pragma once
// The application-wide cursor: the hourglass while the program works on the user's behalf, and
// the normal cursor again whenever, inside such work, the program waits for the user (a question,
// a message, a Cancel button), so the pointer never says "busy" over something to click.

#include <QApplication>
#include <QCursor>

namespace stowra {

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The normal cursor for as long as it lives, when an hourglass is showing; nothing otherwise.
class UserTurnCursor {
public:
    UserTurnCursor() : active_(QApplication::overrideCursor() != nullptr) {
        if (active_) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
        }
    }
    ~UserTurnCursor() { End(); }
    // Gives the cursor back to the work before the scope ends.
    void End() {
        if (active_) {
            QApplication::restoreOverrideCursor();
            active_ = false;
        }
    }
    UserTurnCursor(const UserTurnCursor&) = delete;
    UserTurnCursor& operator=(const UserTurnCursor&) = delete;

private:
    bool active_;
};

}  // namespace stowra
