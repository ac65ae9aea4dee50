#pragma once
// The program's message box, in the skin of its dialogs: a sign, the text, and OK or Yes and No.

#include <span>

#include "ui/BaseUIForm.h"
#include "ui/WindowTexts.h"

class QLabel;

namespace ui {

class TMsgBoxForm : public TBaseUIForm {
    Q_OBJECT

public:
    // `buttons` and `icon` as MsgBox takes them.
    TMsgBoxForm(const QString& text, int buttons, int icon, QWidget* parent = nullptr);

    // The code of the button that closed the box: OK, Yes or No. Closing a Yes/No box any other way
    // answers No; an OK box answers OK.
    int Answer() const noexcept { return answer_; }

    TSkinImage* imgSign;
    QLabel* lblText;

protected:
    void ApplyLanguage() override;

private:
    // The rows of the box's texts that its buttons show: OK alone, or Yes and No.
    std::span<const TTextRow> ButtonTexts() const;

    int buttons_;
    int answer_;
};

// The message box's texts: the captions of its buttons.
std::span<const TTextRow> MsgBoxFormTexts();

}  // namespace ui
