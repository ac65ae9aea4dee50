#pragma once
// The backup warning shown before a job: files are changed in place. The user confirms, or cancels
// the start; "Don't show me again" together with the confirmation switches the warning off.

#include <span>

#include "ui/BaseUIForm.h"
#include "ui/WindowTexts.h"

class QCheckBox;
class QLabel;

namespace ui {

class TRiskWarnForm : public TBaseUIForm {
    Q_OBJECT

public:
    explicit TRiskWarnForm(QWidget* parent = nullptr);

    void ApplyLanguage() override;

    TSkinImage* Image1;
    QLabel* Label1;
    QCheckBox* cbxStop;
    TOruButton* btnOK;

protected:
    void btnOKClick();
    TOruButton* DefaultButton() const override { return btnOK; }

private:
    void FitNote();
};

// Every text of the backup warning.
std::span<const TTextRow> RiskWarnFormTexts();

// Shows the warning (through the replaceable call) and returns true when the user confirmed.
bool ShowRiskWarning();
// The real dialog behind it: created for this showing, shown modally, destroyed.
bool ExecRiskWarning();

}  // namespace ui
