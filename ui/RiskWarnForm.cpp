#include "ui/RiskWarnForm.h"

#include <QCheckBox>
#include <QLabel>

#include <array>

#include "settings/KZVConfig.h"
#include "ui/Anchors.h"
#include "ui/GuiUtility.h"
#include "ui/OruButton.h"
#include "ui/SkinImage.h"
#include "ui/WindowTexts.h"

namespace ui {

namespace {

using enum TTextTarget;
const std::array kTexts{
    TTextRow{"CUI_TRiskWarnForm_lblCaption", "Backup Your Data", FittedText, "lblCaption"},
    TTextRow{"CUI_TRiskWarnForm_btnCancelMe", "Cancel", Text, "btnCancelMe"},
    TTextRow{"CUI_TRiskWarnForm_Label1",
             "The encryption process will affect the original video files directly.\n"
             "If you are worried about data loss, backup your data first.",
             Lines, "Label1"},
    TTextRow{"CUI_TRiskWarnForm_btnOK", "I understand, please continue.", Text, "btnOK"},
    TTextRow{"CUI_TRiskWarnForm_cbxStop", "Don't show me again", Text, "cbxStop"},
};

}  // namespace

TRiskWarnForm::TRiskWarnForm(QWidget* parent) : TBaseUIForm(parent) {
    setObjectName(QStringLiteral("TRiskWarnForm"));
    SetClientSize(this, 457, 180);

    Image1 = new TSkinImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->SetPicture(SkinPixmap(QStringLiteral("info")));
    Image1->setGeometry(24, 48, 32, 32);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(70, 50, 346, 30);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    cbxStop = new QCheckBox(this);
    cbxStop->setObjectName(QStringLiteral("cbxStop"));
    cbxStop->setGeometry(24, 113, 153, 20);

    btnOK = new TOruButton(this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->SetSkin(QStringLiteral("dlg_button"));
    btnOK->SetStretch(true, 4, 4);
    btnOK->SetCaptionColor(Qt::black);
    btnOK->setFocusPolicy(Qt::StrongFocus);
    btnOK->setGeometry(24, 138, 201, 23);

    btnOkMe->hide();
    setTabOrder(cbxStop, btnOK);
    setTabOrder(btnOK, btnCancelMe);
    connect(btnOK, &TOruButton::clicked, this, &TRiskWarnForm::btnOKClick);
    ApplyTextRows(*this, RiskWarnFormTexts(), EnglishText);
}

void TRiskWarnForm::ApplyLanguage() {
    if (!IsLanguageLoaded()) return;
    ApplyTextRows(*this, RiskWarnFormTexts(),
                  [this](const TTextRow& row) { return Translate(QLatin1String(row.Key)); });
    FitNote();
}

void TRiskWarnForm::FitNote() {
    // A translated note may be longer than the design allows for: the dialog widens until both of
    // its lines show whole.
    const int needed =
        Label1->fontMetrics().boundingRect(QRect(0, 0, 100'000, 100'000), 0, Label1->text()).width();
    const int extra = needed - Label1->width();
    if (extra <= 0) return;
    Label1->resize(needed, Label1->height());
    SetClientSize(this, width() + extra, height());
}

void TRiskWarnForm::btnOKClick() {
    if (cbxStop->isChecked()) settings::Settings->SetShowRiskWarn(false);
    done(mrOk);
}

std::span<const TTextRow> RiskWarnFormTexts() {
    return kTexts;
}

bool ShowRiskWarning() {
    return ShellCalls().ShowRiskWarning();
}

bool ExecRiskWarning() {
    const auto form = CreateForm<TRiskWarnForm>();
    return form->ShowModal() == mrOk;
}

}  // namespace ui
