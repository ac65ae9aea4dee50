// The backup warning as the user meets it: confirm, cancel, close and Escape, "Don't show me again",
// and its texts from a language file.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QTimer>

#include "UiTestUtil.h"
#include "ui/OruButton.h"
#include "ui/RiskWarnForm.h"
#include "ui/SkinImage.h"

using namespace ui;

namespace {

class RiskWarnTest : public uitest::UiTest {
protected:
    // Shows the real dialog and, once it is up, lets `act` work on it like a user.
    bool ShowAndDo(const std::function<void(TRiskWarnForm&)>& act) {
        return uitest::ShowModalAndDo<TRiskWarnForm>([] { return ShowRiskWarning(); },
                                                     [&](TRiskWarnForm& form) {
                                                         EXPECT_FALSE(form.cbxStop->isChecked())
                                                             << "unchecked at every showing";
                                                         act(form);
                                                     });
    }
};

TEST_F(RiskWarnTest, ConfirmingStartsAndLeavesTheWarningOnUnlessAskedNotTo) {
    EXPECT_TRUE(ShowAndDo([](TRiskWarnForm& form) { form.btnOK->click(); }));
    EXPECT_TRUE(settings::Settings->ShowRiskWarn());

    EXPECT_TRUE(ShowAndDo([](TRiskWarnForm& form) {
        form.cbxStop->click();
        form.btnOK->click();
    }));
    EXPECT_FALSE(settings::Settings->ShowRiskWarn());
}

TEST_F(RiskWarnTest, CancelCloseAndEscapeDeclineAndKeepTheWarningEvenWhenTicked) {
    EXPECT_FALSE(ShowAndDo([](TRiskWarnForm& form) {
        form.cbxStop->setChecked(true);
        form.btnCancelMe->click();
    }));
    EXPECT_FALSE(ShowAndDo([](TRiskWarnForm& form) {
        form.cbxStop->setChecked(true);
        form.btnCloseMe->click();
    }));
    EXPECT_FALSE(ShowAndDo([](TRiskWarnForm& form) {
        form.cbxStop->setChecked(true);
        QTest::keyClick(form.cbxStop, Qt::Key_Escape);
    }));
    EXPECT_TRUE(settings::Settings->ShowRiskWarn());
}

TEST_F(RiskWarnTest, TheDialogIsLaidOutAsDesignedWithItsEnglishTexts) {
    auto form = CreateForm<TRiskWarnForm>();
    EXPECT_EQ(form->size(), QSize(457, 180));
    EXPECT_EQ(form->lblCaption->text(), QStringLiteral("Backup Your Data"));
    EXPECT_EQ(form->Label1->text(),
              QStringLiteral("The encryption process will affect the original video files directly.\n"
                             "If you are worried about data loss, backup your data first."));
    EXPECT_EQ(form->btnOK->Caption(), QStringLiteral("I understand, please continue."));
    EXPECT_EQ(form->btnOK->geometry(), QRect(24, 138, 201, 23));
    EXPECT_TRUE(form->btnOK->Stretch());
    EXPECT_EQ(form->btnOK->StretchKeepL(), 4);
    EXPECT_EQ(form->cbxStop->pos(), QPoint(24, 113));
    EXPECT_TRUE(form->btnOkMe->isHidden());
    EXPECT_FALSE(form->btnCancelMe->isHidden());
    EXPECT_EQ(form->Image1->geometry(), QRect(24, 48, 32, 32));
    EXPECT_FALSE(form->Image1->Picture().isNull());
    // Both lines of the note fit in the label.
    const QFontMetrics metrics(form->Label1->font());
    for (const QString& line : form->Label1->text().split(QLatin1Char('\n')))
        EXPECT_LE(metrics.horizontalAdvance(line), form->Label1->width()) << line.toStdString();
    EXPECT_LE(2 * metrics.height(), form->Label1->height() + 2);
}

TEST_F(RiskWarnTest, ALoadedLanguageGivesItsTextsAndAMissingKeyAnEmptyOne) {
    LoadGermanLanguage(
        "<CUI_TRiskWarnForm_lblCaption>Daten sichern</CUI_TRiskWarnForm_lblCaption>\n"
        "<CUI_TRiskWarnForm_btnCancelMe>Abbrechen</CUI_TRiskWarnForm_btnCancelMe>\n"
        "<CUI_TRiskWarnForm_Label1>Zeile eins&#13;Zeile zwei</CUI_TRiskWarnForm_Label1>\n"
        "<CUI_TRiskWarnForm_btnOK>Verstanden, weiter.</CUI_TRiskWarnForm_btnOK>\n");

    auto form = CreateForm<TRiskWarnForm>();
    EXPECT_EQ(form->lblCaption->text(), QStringLiteral("Daten sichern"));
    EXPECT_EQ(form->btnCancelMe->Caption(), QStringLiteral("Abbrechen"));
    EXPECT_EQ(form->Label1->text(), QStringLiteral("Zeile eins\nZeile zwei"));
    EXPECT_EQ(form->btnOK->Caption(), QStringLiteral("Verstanden, weiter."));
    EXPECT_EQ(form->cbxStop->text(), QString());  // no such key in the file
    form->show();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Daten sichern")) << "the taskbar names the dialog";
}

}  // namespace
