// The options dialog as the user meets it: the stored extensions on their boxes and back, extra
// extensions, group and "Select all" clicks, the block field, the wheel, its texts, OK and Cancel.
#include <QCheckBox>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <QScrollArea>

#include "UiTestUtil.h"
#include "ui/OptionForm.h"
#include "ui/OruButton.h"

using namespace ui;
using uitest::Control;

namespace {

class OptionFormTest : public uitest::UiTest {
protected:
    // The dialog as ShowOptionsDialog makes it, without showing it.
    std::unique_ptr<TOptionForm> Open() {
        auto form = CreateForm<TOptionForm>();
        form->LoadOptions();
        return form;
    }

    // Shows the real dialog and, once it is up, lets `act` work on it like a user.
    bool ShowAndDo(const std::function<void(TOptionForm&)>& act) {
        return uitest::ShowModalAndDo<TOptionForm>([] { return ShowOptionsDialog(); }, act);
    }

    static QStringList Checked(const TOptionForm& form) {
        QStringList checked;
        for (const auto& ext : form.ExtBoxes())
            if (ext.Box->isChecked()) checked << ext.Box->text();
        return checked;
    }

    static void TypeBlocks(TOptionForm& form, const QString& text, bool leave) {
        Control<TSpinEdit>(form, "edtBlock")->selectAll();
        QTest::keyClick(Control<TSpinEdit>(form, "edtBlock"), Qt::Key_Delete);
        QTest::keyClicks(Control<TSpinEdit>(form, "edtBlock"), text);
        if (!leave) return;
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(Control<TSpinEdit>(form, "edtBlock"), &out);
    }

    static void Wheel(QWidget* over, int angle) {
        QWheelEvent wheel(QPointF(2, 2), over->mapToGlobal(QPointF(2, 2)), QPoint(), QPoint(0, angle),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &wheel);
    }
};

TEST_F(OptionFormTest, DefaultSettingsCheckTheVideoGroupsAndOkWritesThemBackUnchanged) {
    settings::Settings->SetVideoExts(settings::DefaultVideoExts());
    settings::Settings->SetShowSIBP(false);
    settings::Settings->SetRemoveThumbnails(false);
    settings::Settings->SetBlocks(12);

    EXPECT_TRUE(ShowAndDo([](TOptionForm& form) {
        for (int group = 1; group <= 9; ++group)
            for (QCheckBox* member : form.MemberBoxes(group)) EXPECT_TRUE(member->isChecked()) << group;
        for (QCheckBox* audio : form.MemberBoxes(10)) EXPECT_FALSE(audio->isChecked());
        for (int group = 1; group <= 11; ++group) EXPECT_FALSE(form.GroupBox(group)->isChecked());
        EXPECT_FALSE(Control<QCheckBox>(form, "cbxSelectAll")->isChecked());
        EXPECT_TRUE(Control<QCheckBox>(form, "cbxOther")->isHidden());
        EXPECT_TRUE(form.MemberBoxes(11).empty());
        EXPECT_EQ(Control<QWidget>(form, "pnlExts")->size(), QSize(441, 1137));
        EXPECT_EQ(Control<QCheckBox>(form, "cbxOther")->pos(), QPoint(16, 1120));
        EXPECT_EQ(Control<QScrollArea>(form, "ScrollBox1")->verticalScrollBar()->value(), 0);
        EXPECT_EQ(Control<TSpinEdit>(form, "edtBlock")->value(), 12);
        EXPECT_FALSE(Control<QCheckBox>(form, "cbxSIBP")->isChecked());
        EXPECT_FALSE(Control<QCheckBox>(form, "cbxThumbnails")->isChecked());
        EXPECT_FALSE(Control<QCheckBox>(form, "cbxWholeStreams")->isChecked());
        form.btnOkMe->click();
    }));
    EXPECT_FALSE(settings::Settings->RemoveThumbnails());
    EXPECT_FALSE(settings::Settings->WholeStreams());
    EXPECT_EQ(settings::Settings->VideoExts(), settings::DefaultVideoExts());
    EXPECT_EQ(settings::Settings->Blocks(), 12);
    EXPECT_FALSE(settings::Settings->ShowSIBP());
}

TEST_F(OptionFormTest, StoredExtensionsNoGroupKnowsShowUnderOtherFormatsInLowerCase) {
    settings::Settings->SetVideoExts(".AVI;.xyz;.abc;");
    auto form = Open();
    EXPECT_EQ(Checked(*form), (QStringList{".avi", ".xyz", ".abc"}));
    EXPECT_FALSE(Control<QCheckBox>(*form, "cbxOther")->isHidden());
    const auto extras = form->MemberBoxes(11);
    ASSERT_EQ(extras.size(), 2u);
    EXPECT_EQ(extras[0]->geometry(), QRect(34, 1150, 79, 17));
    EXPECT_EQ(extras[1]->geometry(), QRect(114, 1150, 79, 17));
    form->btnOkMe->click();
    EXPECT_EQ(form->result(), mrOk);
    EXPECT_EQ(settings::Settings->VideoExts(), QByteArray(".avi;.xyz;.abc;"));

    // Pieces without a leading dot vanish; a second copy of a known one is kept as an extra box.
    settings::Settings->SetVideoExts("mp4;;.XYZ;.avi;.AVI;");
    form = Open();
    EXPECT_EQ(Checked(*form), (QStringList{".avi", ".xyz", ".avi"}));
    form->btnOkMe->click();
    EXPECT_EQ(settings::Settings->VideoExts(), QByteArray(".avi;.xyz;.avi;"));
}

TEST_F(OptionFormTest, SixExtraExtensionsTakeTwoRowsAndGrowThePanelBy94) {
    settings::Settings->SetVideoExts(".e1;.e2;.e3;.e4;.e5;.e6;");
    auto form = Open();
    EXPECT_EQ(Control<QWidget>(*form, "pnlExts")->height(), 1137 + 94);
    const auto extras = form->MemberBoxes(11);
    ASSERT_EQ(extras.size(), 6u);
    EXPECT_EQ(extras[4]->pos(), QPoint(354, 1150));
    EXPECT_EQ(extras[5]->pos(), QPoint(34, 1182));
    // The whole panel can be scrolled to.
    form->show();
    QScrollBar* bar = Control<QScrollArea>(*form, "ScrollBox1")->verticalScrollBar();
    EXPECT_EQ(bar->maximum(), Control<QWidget>(*form, "pnlExts")->height() -
                                  Control<QScrollArea>(*form, "ScrollBox1")->viewport()->height());
}

TEST_F(OptionFormTest, AGroupBoxSetsItsGroupAndSelectAllSetsEverything) {
    settings::Settings->SetVideoExts(".asf;");
    auto form = Open();
    QCheckBox* real = form->GroupBox(2);
    ASSERT_EQ(real->text(), QStringLiteral("Real Media"));
    ASSERT_EQ(form->MemberBoxes(2).size(), 8u);

    real->click();
    for (QCheckBox* member : form->MemberBoxes(2)) EXPECT_TRUE(member->isChecked());
    EXPECT_EQ(Checked(*form).size(), 1 + 1 + 8);  // .asf, the group box, its members
    form->MemberBoxes(2)[0]->click();             // a member leaves the group box as it is
    EXPECT_TRUE(real->isChecked());
    real->click();
    EXPECT_EQ(Checked(*form), QStringList{".asf"});

    Control<QCheckBox>(*form, "cbxSelectAll")->click();
    EXPECT_EQ(Checked(*form).size(), static_cast<qsizetype>(form->ExtBoxes().size()));
    Control<QCheckBox>(*form, "cbxSelectAll")->click();
    EXPECT_TRUE(Checked(*form).isEmpty());
    form->btnOkMe->click();
    EXPECT_EQ(settings::Settings->VideoExts(), QByteArray());
}

TEST_F(OptionFormTest, TheBlockFieldTakesNumbersOnlyAndKeepsThemInRange) {
    auto form = Open();
    TypeBlocks(*form, QStringLiteral("3"), true);
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->text(), QStringLiteral("8"));
    TypeBlocks(*form, QStringLiteral("2x5z0000"), true);  // letters are refused
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->value(), 200000);
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->text(), QStringLiteral("200000"));
    TypeBlocks(*form, QStringLiteral("16"), true);
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->value(), 16);
    QTest::keyClick(Control<TSpinEdit>(*form, "edtBlock"), Qt::Key_Up);
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->value(), 17);

    // OK takes what is typed, even before the field is left; an empty field counts as 8.
    TypeBlocks(*form, QStringLiteral("40"), false);
    form->btnOkMe->click();
    EXPECT_EQ(settings::Settings->Blocks(), 40);
    form = Open();
    TypeBlocks(*form, QString(), false);
    form->btnOkMe->click();
    EXPECT_EQ(settings::Settings->Blocks(), 8);

    // A stored count out of range shows, and is stored, as the nearest bound.
    settings::Settings->SetBlocks(1'000'000);
    form = Open();
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->value(), 200000);
    Control<QCheckBox>(*form, "cbxThumbnails")->click();
    Control<QCheckBox>(*form, "cbxWholeStreams")->click();
    form->btnOkMe->click();
    EXPECT_EQ(settings::Settings->Blocks(), 200000);
    EXPECT_FALSE(settings::Settings->RemoveThumbnails()) << "the box unticked";
    EXPECT_TRUE(settings::Settings->WholeStreams()) << "the box ticked";
}

TEST_F(OptionFormTest, CancelAndTheCloseButtonLeaveTheSettingsAsTheyWere) {
    settings::Settings->SetVideoExts(".avi;.zzz;");
    settings::Settings->SetBlocks(20);
    const auto change = [](TOptionForm& form) {
        Control<QCheckBox>(form, "cbxSelectAll")->click();
        Control<QCheckBox>(form, "cbxSIBP")->click();
        Control<QCheckBox>(form, "cbxThumbnails")->click();
        Control<QCheckBox>(form, "cbxWholeStreams")->click();
        TypeBlocks(form, QStringLiteral("99"), true);
    };
    EXPECT_FALSE(ShowAndDo([&](TOptionForm& form) {
        change(form);
        form.btnCancelMe->click();
    }));
    EXPECT_FALSE(ShowAndDo([&](TOptionForm& form) {
        change(form);
        form.btnCloseMe->click();
    }));
    EXPECT_EQ(settings::Settings->VideoExts(), QByteArray(".avi;.zzz;"));
    EXPECT_EQ(settings::Settings->Blocks(), 20);
    EXPECT_TRUE(settings::Settings->ShowSIBP());
    EXPECT_TRUE(settings::Settings->RemoveThumbnails());
    EXPECT_FALSE(settings::Settings->WholeStreams());
}

TEST_F(OptionFormTest, TheWheelScrollsTheExtensionsWhereverItTurns) {
    auto form = Open();
    form->show();
    QScrollBar* bar = Control<QScrollArea>(*form, "ScrollBox1")->verticalScrollBar();
    const int step = bar->singleStep();
    ASSERT_GT(step, 0);

    Wheel(form->MemberBoxes(3)[0], -120);
    EXPECT_EQ(bar->value(), step);
    Wheel(Control<TSpinEdit>(*form, "edtBlock"), -240);  // over the block field too, which keeps its value
    EXPECT_EQ(bar->value(), 3 * step);
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->value(), 8);
    Wheel(Control<QLabel>(*form, "Label1"), 60);  // half a notch waits for the other half
    EXPECT_EQ(bar->value(), 3 * step);
    Wheel(Control<QLabel>(*form, "Label1"), 60);
    EXPECT_EQ(bar->value(), 2 * step);
    Wheel(Control<QCheckBox>(*form, "cbxSIBP"), 120 * 10);
    EXPECT_EQ(bar->value(), 0);  // not beyond the top
}

TEST_F(OptionFormTest, ALanguageGivesTheCaptionsButNotTheExtensions) {
    LoadGermanLanguage(
        "<CUI_TOptionForm_lblCaption>Optionen</CUI_TOptionForm_lblCaption>\n"
        "<CUI_TRiskWarnForm_btnCancelMe>Abbrechen</CUI_TRiskWarnForm_btnCancelMe>\n"
        "<CUI_TOptionForm_Label2>Verschlüsselte Datenblöcke je Datei:</CUI_TOptionForm_Label2>\n"
        "<CUI_TOptionForm_CheckBox8>Real-Medien</CUI_TOptionForm_CheckBox8>\n"
        "<CUI_TOptionForm_cbxOther>Sonstige Formate</CUI_TOptionForm_cbxOther>\n"
        "<CUI_TOptionForm_Label3>* Anzahl der verschlüsselten Datenblöcke je Datei; mehr Blöcke brauchen "
        "deutlich mehr Zeit</CUI_TOptionForm_Label3>\n"
        "<CUI_TOptionForm_cbxSIBP>Orrelguard in der Titelleiste anzeigen</CUI_TOptionForm_cbxSIBP>\n");
    settings::Settings->SetVideoExts(".xyz;");

    auto form = Open();
    EXPECT_EQ(form->lblCaption->text(), QStringLiteral("Optionen"));
    form->show();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Optionen")) << "the taskbar names the dialog";
    form->hide();
    EXPECT_EQ(form->btnCancelMe->Caption(), QStringLiteral("Abbrechen"));
    EXPECT_EQ(form->GroupBox(2)->text(), QStringLiteral("Real-Medien"));
    EXPECT_EQ(Control<QCheckBox>(*form, "cbxOther")->text(), QStringLiteral("Sonstige Formate"));
    EXPECT_EQ(form->btnOkMe->Caption(), QString());  // no such key in the file
    EXPECT_EQ(Control<QCheckBox>(*form, "cbxWin")->text(), QString());
    EXPECT_EQ(form->MemberBoxes(2)[0]->text(), QStringLiteral(".ram"));
    EXPECT_EQ(form->MemberBoxes(11)[0]->text(), QStringLiteral(".xyz"));
    // The field follows its longer label; a longer caption is shown whole.
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->x(),
              Control<QLabel>(*form, "Label2")->x() + Control<QLabel>(*form, "Label2")->width() + 13);
    EXPECT_GT(Control<TSpinEdit>(*form, "edtBlock")->x(), 144);
    EXPECT_GE(Control<QCheckBox>(*form, "cbxSIBP")->width(),
              Control<QCheckBox>(*form, "cbxSIBP")->sizeHint().width());
    EXPECT_LE(Control<QLabel>(*form, "Label3")->geometry().right(),
              Control<QScrollArea>(*form, "ScrollBox1")->geometry().right());
    EXPECT_LT(Control<QLabel>(*form, "Label3")->geometry().bottom(),
              Control<QCheckBox>(*form, "cbxSIBP")->y());

    // Only the extensions reach the settings, whatever the group boxes say.
    form->btnOkMe->click();
    EXPECT_EQ(settings::Settings->VideoExts(), QByteArray(".xyz;"));
}

}  // namespace
