#include "dialogs/QtPrompter.h"

#include <QApplication>
#include <QMessageBox>

#include "dialogs/BusyCursor.h"

namespace stowra {

QString ToQt(std::string_view native) {
    return QString::fromLocal8Bit(native.data(), static_cast<qsizetype>(native.size()));
}

std::string FromQt(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

QString QTr(const char* source) {
    return ToQt(Tr(source));
}

void SetToolTipDurations(QWidget* root) {
    root->setToolTipDuration(5000);
    for (QWidget* w : root->findChildren<QWidget*>()) {
        w->setToolTipDuration(5000);
    }
}

MessageAnswer QtPrompter::Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                              MessageButtons buttons) {
    // A message about a dialog belongs to it: owned by the window beneath, the box would stand
    // apart from what it is about.
    QWidget* modal = QApplication::activeModalWidget();
    QMessageBox box(modal != nullptr && modal->isVisible() ? modal : owner_);
    box.setText(ToQt(text));
    box.setWindowTitle(caption.empty() ? QApplication::applicationName() : ToQt(caption));
    switch (icon) {
        case MessageIcon::Stop:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
        case MessageButtons::YesAllNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No |
                                   QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    UserTurnCursor pointer;
    switch (box.exec()) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::YesToAll:
            return MessageAnswer::YesToAll;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
}

}  // namespace stowra
