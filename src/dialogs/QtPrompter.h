#pragma once
// Message boxes for the engine's questions, with the texts, captions, icons and buttons it asks for.

#include <QWidget>

#include "frontend/FrontEnd.h"
#include "platform/Translation.h"

namespace stowra {

class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* owner) : owner_(owner) {}
    MessageAnswer Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                      MessageButtons buttons) override;

private:
    QWidget* owner_;
};

// Text conversion between the engine's native multibyte bytes and Qt, in one place.
QString ToQt(std::string_view native);
std::string FromQt(const QString& text);

// A program text in the user's language, for a widget.
QString QTr(const char* source);

// Every tooltip of the widget and its children stays visible for 5 seconds.
void SetToolTipDurations(QWidget* root);

}  // namespace stowra
