#pragma once
// The program's message box, in the skin of its dialogs: a sign, the text, and OK or Yes and No.

#include "ui/BaseUIForm.h"

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

private:
    int answer_;
};

}  // namespace ui
