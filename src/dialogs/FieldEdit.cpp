#include "dialogs/FieldEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QValidator>

#include "dialogs/QtPrompter.h"
#include "platform/Text.h"

namespace stowra {

namespace {

// Whatever way text reaches a numeric field (keys, an input method's commit, a drop, a paste),
// it passes here: full-width digits become ASCII digits, and a change that brings in anything
// else is refused whole, so "12ab" or "-5" never lands half taken.
class DigitsOnly : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        for (QChar& c : input) {
            std::optional<char> digit = AsciiDigit(c.unicode());
            if (!digit) {
                return Invalid;
            }
            c = QLatin1Char(*digit);
        }
        return input.isEmpty() ? Intermediate : Acceptable;
    }
};

}  // namespace

FieldEdit::FieldEdit(Keys keys, QWidget* parent) : QLineEdit(parent), keys_(keys) {
    if (keys_ != Keys::Text) {
        setValidator(new DigitsOnly(this));
        setInputMethodHints(Qt::ImhDigitsOnly);
    }
}

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
        bool digit = t.size() == 1 && AsciiDigit(t.at(0).unicode()).has_value();
        if (character && !digit) {
            event->accept();
            return;  // letters, signs and spaces never reach a numeric field
        }
    }
    QLineEdit::keyPressEvent(event);
}

void FieldEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A context menu, the menu bar, a message box or another program taking the focus is no
    // leaving: handling it would put "0" into a field the user is about to paste into, or ask
    // the same question again for the box that asks it.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason ||
        reason == Qt::ActiveWindowFocusReason) {
        return;
    }
    QWidget* next = QApplication::focusWidget();  // already the widget taking the focus
    if (next == nullptr || next == this || next->window() != window()) {
        return;
    }
    Q_EMIT focusLost();
}

bool FieldEdit::TakeValue(Prompter& errors) {
    return TakeValue(errors, TakeNumber);
}

bool FieldEdit::TakeValue(Prompter& errors, NumberTaken (*take)(std::string_view)) {
    const NumberTaken taken = take(FromQt(text()));
    if (ToQt(taken.text) != text()) {
        setText(ToQt(taken.text));
    }
    if (!taken.value) {
        errors.Ask(taken.problem, "", MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    value = *taken.value;
    return true;
}

}  // namespace stowra
