#include "app/RichEditPane.h"

#include <QScrollBar>
#include <QTextCursor>

#include "dialogs/QtPrompter.h"

namespace stowra {

void RichEditPane::Clear() {
    edit_->clear();
    color_ = LogColor::WindowText;
}

void RichEditPane::SetColor(LogColor color) {
    color_ = color;
}

void RichEditPane::Insert(std::string_view text) {
    QTextCursor cursor = edit_->textCursor();
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    switch (color_) {
        case LogColor::WindowText:
            format.setForeground(edit_->palette().color(QPalette::Text));
            break;
        case LogColor::Red:
            format.setForeground(QColor(255, 0, 0));
            break;
        case LogColor::Blue:
            format.setForeground(QColor(0, 0, 255));
            break;
    }
    cursor.insertText(ToQt(text), format);
    edit_->setTextCursor(cursor);
    edit_->ensureCursorVisible();
}

void RichEditPane::Repaint() {
    // Long work follows without a return to the event loop, so what must be seen is painted now,
    // whole: a view repainted only where it changed would keep showing the rows of a result it
    // no longer holds.
    edit_->viewport()->repaint();
    for (QAbstractScrollArea* view : alongside_) {
        view->viewport()->repaint();
    }
}

}  // namespace stowra
