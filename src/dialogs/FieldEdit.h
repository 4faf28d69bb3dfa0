#pragma once
// Edit fields with the conventions every form of the program shares: a required field turns
// yellow while empty, Escape undoes the last change once, Enter is swallowed; a numeric field
// takes only digits (from the keyboard, an input method, a drop or a paste) and carries a signed
// 32-bit value beside its text.

#include <QLineEdit>
#include <cstdint>
#include <optional>
#include <string_view>

#include "frontend/FrontEnd.h"
#include "ui/NumberText.h"

namespace stowra {

class FieldEdit : public QLineEdit {
    Q_OBJECT
public:
    enum class Keys { Text, Digits, DigitsNoEscape };
    explicit FieldEdit(Keys keys = Keys::Text, QWidget* parent = nullptr);

    // Yellow (255, 255, 0) when empty, the standard window background otherwise.
    void UpdateColor();
    void UndoOnce();

    // Leaving a numeric field: an empty text becomes "0", then the text becomes the value. Text
    // that is not a signed 32-bit integer is reported through `errors` and the value stays.
    bool TakeValue(Prompter& errors);
    // The same with the rule of a particular field (TakeNumber or TakeMinimumSize).
    bool TakeValue(Prompter& errors, NumberTaken (*take)(std::string_view));

    std::int32_t value = 0;

Q_SIGNALS:
    // The focus went to another control of the same window. Popups, menus and other windows
    // taking the focus do not count: the user has not left the field for them.
    void focusLost();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    Keys keys_;
};

}  // namespace stowra
