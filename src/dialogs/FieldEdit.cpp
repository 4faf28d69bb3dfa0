#include "dialogs/FieldEdit.h"

#include <QKeyEvent>

#include "dialogs/QtPrompter.h"
#include "platform/Text.h"

namespace stowra {

FieldEdit::FieldEdit(Keys keys, QWidget* parent) : QLineEdit(parent), keys_(keys) {}

void FieldEdit::UpdateColor() {
    QPalette p = palette();
    if (text().isEmpty()) {
        p.setColor(QPalette::Base, QColor(255, 255, 0));
    } else {
        p.setColor(QPalette::Base,
                   QPalette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Base));
    }
    setPalette(p);
}

void FieldEdit::UndoOnce() {
    if (isUndoAvailable()) {
        undo();
        // Forget the rest of the history, so a second Escape changes nothing.
        QString kept = text();
        int cursor = cursorPosition();
        setText(kept);
        setCursorPosition(cursor);
    }
}

void FieldEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        if (keys_ != Keys::DigitsNoEscape) {
            UndoOnce();
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->accept();
        return;
    }
    if (keys_ != Keys::Text) {
        const QString t = event->text();
        bool character = !t.isEmpty() && t.at(0).isPrint();
        bool digit = t.size() == 1 && t.at(0) >= QLatin1Char('0') && t.at(0) <= QLatin1Char('9');
        if (character && !digit) {
            event->accept();
            return;  // letters, signs and spaces never reach a numeric field
        }
    }
    QLineEdit::keyPressEvent(event);
}

void FieldEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    Q_EMIT focusLost();
}

bool FieldEdit::TakeValue(Prompter& errors) {
    if (text().isEmpty()) {
        setText(QStringLiteral("0"));
    }
    auto v = ParseInt32(text());
    if (!v) {
        errors.Ask(Format("'%s' は整数ではありません", FromQt(text()).c_str()), "", MessageIcon::Stop,
                   MessageButtons::Ok);
        return false;
    }
    value = *v;
    return true;
}

std::optional<std::int32_t> ParseInt32(const QString& text) {
    bool ok = false;
    qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || text.trimmed() != text || v < INT32_MIN || v > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(v);
}

}  // namespace stowra
