#include "ui/RiskWarnForm.h"

#include <QCheckBox>
#include <QLabel>

#include "settings/KZVConfig.h"
#include "ui/Anchors.h"
#include "ui/GuiUtility.h"
#include "ui/OruButton.h"
#include "ui/SkinImage.h"

namespace ui {

namespace {

// Language files write the line break as a carriage return; a label breaks at line feeds.
QString asLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

TRiskWarnForm::TRiskWarnForm(QWidget* parent) : TBaseUIForm(parent) {
    setObjectName(QStringLiteral("TRiskWarnForm"));
    SetClientSize(this, 457, 180);
    lblCaption->setText(QStringLiteral("Backup Your Data"));
    lblCaption->adjustSize();

    Image1 = new TSkinImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->SetPicture(SkinPixmap(QStringLiteral("info")));
    Image1->setGeometry(24, 48, 32, 32);

    Label1 = new QLabel(asLines(QStringLiteral("The encryption process will affect the original video files "
                                               "directly.\rIf you are worried about data loss, backup your "
                                               "data first.")),
                        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(70, 50, 346, 30);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    cbxStop = new QCheckBox(QStringLiteral("Don't show me again"), this);
    cbxStop->setObjectName(QStringLiteral("cbxStop"));
    cbxStop->setGeometry(24, 113, 153, 20);

    btnOK = new TOruButton(this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->SetSkin(QStringLiteral("dlg_button"));
    btnOK->SetStretch(true, 4, 4);
    btnOK->SetCaption(QStringLiteral("I understand, please continue."));
    btnOK->SetCaptionColor(Qt::black);
    btnOK->setFocusPolicy(Qt::StrongFocus);
    btnOK->setGeometry(24, 138, 201, 23);

    btnOkMe->hide();
    setTabOrder(cbxStop, btnOK);
    setTabOrder(btnOK, btnCancelMe);
    connect(btnOK, &TOruButton::clicked, this, &TRiskWarnForm::btnOKClick);
}

void TRiskWarnForm::ApplyLanguage() {
    if (!IsLanguageLoaded()) return;
    lblCaption->setText(Translate(QStringLiteral("CUI_TRiskWarnForm_lblCaption")));
    lblCaption->adjustSize();
    btnCancelMe->SetCaption(Translate(QStringLiteral("CUI_TRiskWarnForm_btnCancelMe")));
    Label1->setText(asLines(Translate(QStringLiteral("CUI_TRiskWarnForm_Label1"))));
    btnOK->SetCaption(Translate(QStringLiteral("CUI_TRiskWarnForm_btnOK")));
    cbxStop->setText(Translate(QStringLiteral("CUI_TRiskWarnForm_cbxStop")));
}

void TRiskWarnForm::btnOKClick() {
    if (cbxStop->isChecked()) settings::Settings->SetShowRiskWarn(false);
    done(mrOk);
}

bool ShowRiskWarning() {
    return ShellCalls().ShowRiskWarning();
}

bool ExecRiskWarning() {
    const auto form = CreateForm<TRiskWarnForm>();
    return form->ShowModal() == mrOk;
}

}  // namespace ui
