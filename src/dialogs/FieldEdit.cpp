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
            std::optional<QChar> digit = AsciiDigit(c);
            if (!digit) {
                return Invalid;
            }
            c = *digit;
        }
        return input.isEmpty() ? Intermediate : Acceptable;
    }
};

}  // namespace

std::optional<QChar> AsciiDigit(QChar c) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
        return c;
    }
    if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19) {
        return QChar(u'0' + (c.unicode() - 0xFF10));
    }
    return std::nullopt;
}

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
        bool digit = t.size() == 1 && AsciiDigit(t.at(0)).has_value();
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
    if (text().isEmpty()) {
        setText(QStringLiteral("0"));
    }
    auto v = ParseInt32(text());
    if (!v) {
        errors.Ask(Format(Tr("'%s' は整数ではありません"), FromQt(text()).c_str()), "", MessageIcon::Stop,
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
