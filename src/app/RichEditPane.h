#pragma once
// The log pane over a read-only rich text widget: text is only ever appended at the end, in the
// colour set last, and painted at once when asked, since long work follows on the same thread.

#include <QColor>
#include <QTextEdit>

#include "platform/FrontEnd.h"

namespace stowra {

class RichEditPane : public LogPane {
public:
    explicit RichEditPane(QTextEdit* edit) : edit_(edit) {}
    void Clear() override;
    void SetColor(LogColor color) override;
    void Insert(std::string_view text) override;
    void Repaint() override;

private:
    QTextEdit* edit_;
    LogColor color_ = LogColor::WindowText;
};

}  // namespace stowra
