#include "app/InputHold.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWindow>

namespace stowra {

InputHold::InputHold(QWidget* window) : window_(window) {
    QApplication::instance()->installEventFilter(this);
}

InputHold::~InputHold() {
    // What the user did during the command is still queued; take it while the filter still
    // swallows it, so none of it starts anything once the controls are enabled again.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QApplication::instance()->removeEventFilter(this);
}

bool InputHold::IsHeldInput(const QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::NativeGesture:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

bool InputHold::IsForWindow(QObject* receiver) const {
    if (window_ == nullptr) {
        return false;
    }
    if (receiver->isWidgetType()) {
        return static_cast<QWidget*>(receiver)->window() == window_;
    }
    if (receiver->isWindowType()) {
        return receiver == window_->windowHandle();
    }
    return false;
}

bool InputHold::eventFilter(QObject* receiver, QEvent* event) {
    if (!IsHeldInput(event) || !IsForWindow(receiver)) {
        return false;
    }
    if (cancel_ && event->type() == QEvent::KeyPress &&
        static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        cancel_();
    }
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();  // an accepted override keeps a shortcut (Alt+O) from firing
    }
    return true;
}

}  // namespace stowra
