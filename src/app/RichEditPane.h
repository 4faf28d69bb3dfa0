#pragma once
// The log pane over a read-only rich text widget: text is only ever appended at the end, in the
// colour set last, and painted at once when asked, since long work follows on the same thread.

#include <QAbstractScrollArea>
#include <QColor>
#include <QTextEdit>
#include <vector>

#include "frontend/FrontEnd.h"

namespace stowra {

class RichEditPane : public LogPane {
public:
    // `alongside`: views painted together with the pane, since the work that follows a repaint
    // may first have emptied them (a new scan clears the previous result's tree and list).
    explicit RichEditPane(QTextEdit* edit, std::vector<QAbstractScrollArea*> alongside = {})
        : edit_(edit), alongside_(std::move(alongside)) {}
    void Clear() override;
    void SetColor(LogColor color) override;
    void Insert(std::string_view text) override;
    void Repaint() override;

private:
    QTextEdit* edit_;
    std::vector<QAbstractScrollArea*> alongside_;
    LogColor color_ = LogColor::WindowText;
};

}  // namespace stowra
