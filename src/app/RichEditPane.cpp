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
    // Long work follows without a return to the event loop, so the whole window is painted now:
    // a scan has just emptied the tree and the list as well, and they must not keep showing the
    // previous result beside the new first line.
    edit_->window()->repaint();
}

}  // namespace stowra
