#pragma once
// Answers a modal dialog from inside its own event loop, as a user would.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace stowra::test {

// Once a modal dialog of type D is showing, runs act(dialog). Call before the code that opens it.
template <typename D>
void WhenModal(std::function<void(D&)> act, int attempts = 200) {
    QTimer::singleShot(10, [act, attempts] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            act(*d);
        } else if (attempts > 0) {
            WhenModal<D>(act, attempts - 1);
        }
    });
}

}  // namespace stowra::test
