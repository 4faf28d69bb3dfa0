#pragma once
// Holds a window's input while a command runs on the user-interface thread. The command does not
// return to the event loop, so whatever the user clicks or types meanwhile waits in the queue and
// would be delivered to enabled buttons once it ends: three clicks on the scan button would run
// three scans, a click on the greyed move button would start the move. While the hold lives, an
// application-wide filter swallows input meant for the window; when it ends, input that queued
// up during the command is taken from the queue and swallowed too, before the hold lets go.
// Other windows (questions, progress with Cancel) get their input as usual.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace stowra {

class InputHold : public QObject {
public:
    explicit InputHold(QWidget* window);
    ~InputHold() override;
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

    // Whether `event` is input the hold keeps from the window. The one place that decides: a key
    // the window must still see during a command (a cancel key) would be let through here.
    static bool IsHeldInput(const QEvent* event);

    // Escape, pressed while the hold lives, calls this instead of being swallowed with the rest.
    void OnEscape(std::function<void()> cancel) { cancel_ = std::move(cancel); }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    bool IsForWindow(QObject* receiver) const;

    QPointer<QWidget> window_;
    std::function<void()> cancel_;
};

}  // namespace stowra
