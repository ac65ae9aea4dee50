// The options dialog as the user meets it: the stored extensions on their boxes and back, extra
// extensions, group and "Select all" clicks, the block field and its range, the backup warning, the
// wheel, its texts and their room, OK and Cancel.
#include <QCheckBox>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <functional>
#include <vector>

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

    // The ticked extensions (a group's box, ticked or partly ticked, is none).
    static QStringList Checked(const TOptionForm& form) {
        QStringList checked;
        for (const auto& ext : form.ExtBoxes())
            if (ext.Extension && ext.Box->isChecked()) checked << ext.Box->text();
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
        for (int group = 1; group <= 11; ++group)
            EXPECT_EQ(form.GroupBox(group)->checkState(), group <= 9 ? Qt::Checked : Qt::Unchecked) << group;
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
        EXPECT_TRUE(Control<QCheckBox>(form, "cbxRiskWarn")->isChecked());
        form.btnOkMe->click();
    }));
    EXPECT_TRUE(settings::Settings->ShowRiskWarn());
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
    EXPECT_EQ(Checked(*form).size(), 1 + 8);  // .asf, the group's members
    form->MemberBoxes(2)[0]->click();         // the group is partly ticked now; a click ticks it whole
    real->click();
    EXPECT_EQ(Checked(*form).size(), 1 + 8);
    real->click();
    EXPECT_EQ(Checked(*form), QStringList{".asf"});

    Control<QCheckBox>(*form, "cbxSelectAll")->click();
    const auto extensions = std::count_if(form->ExtBoxes().begin(), form->ExtBoxes().end(),
                                          [](const TOptionForm::TExtBox& ext) { return ext.Extension; });
    EXPECT_EQ(Checked(*form).size(), extensions);
    Control<QCheckBox>(*form, "cbxSelectAll")->click();
    EXPECT_TRUE(Checked(*form).isEmpty());
    form->btnOkMe->click();
    EXPECT_EQ(settings::Settings->VideoExts(), QByteArray());
}

TEST_F(OptionFormTest, TheBlockFieldTakesNumbersOnlyAndLeavesThoseOutOfRangeAsTyped) {
    auto form = Open();
    TypeBlocks(*form, QStringLiteral("3"), true);
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->text(), QStringLiteral("3"));
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->value(), 8) << "the last valid count";
    QTest::keyClick(Control<TSpinEdit>(*form, "edtBlock"), Qt::Key_Up);  // from 3 to the smallest count
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->text(), QStringLiteral("8"));
    TypeBlocks(*form, QStringLiteral("2x5z0000"), true);  // letters are refused
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->text(), QStringLiteral("250000"));
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->value(), 8);
    QTest::keyClick(Control<TSpinEdit>(*form, "edtBlock"), Qt::Key_Down);  // to the largest
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->value(), 200000);
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->text(), QStringLiteral("200000"));
    TypeBlocks(*form, QStringLiteral("16"), true);
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->value(), 16);
    QTest::keyClick(Control<TSpinEdit>(*form, "edtBlock"), Qt::Key_Up);
    EXPECT_EQ(Control<TSpinEdit>(*form, "edtBlock")->value(), 17);

    // OK takes what is typed, even before the field is left; an empty field is no count.
    TypeBlocks(*form, QStringLiteral("40"), false);
    form->btnOkMe->click();
    EXPECT_EQ(settings::Settings->Blocks(), 40);
    form = Open();
    TypeBlocks(*form, QString(), false);
    form->btnOkMe->click();
    EXPECT_NE(form->result(), mrOk);
    EXPECT_EQ(settings::Settings->Blocks(), 40);

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
    // Also after OK refused a count out of range, put the focus on it, and the dialog went while still on
    // screen (the sanitizers watch this one).
    auto form = Open();
    form->show();
    TypeBlocks(*form, QStringLiteral("5"), false);
    form->btnOkMe->click();
    ASSERT_TRUE(WaitFor([&form] { return Control<TSpinEdit>(*form, "edtBlock")->hasFocus(); }));
    form.reset();
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
        "<CUI_TOptionForm_cbxSIBP>Orrelguard in der Titelleiste anzeigen</CUI_TOptionForm_cbxSIBP>\n"
        "<CUI_TOptionForm_cbxRiskWarn>Vor dem Ändern an eine Sicherung "
        "erinnern</CUI_TOptionForm_cbxRiskWarn>\n");
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
    EXPECT_EQ(Control<QCheckBox>(*form, "cbxRiskWarn")->accessibleName(),
              QStringLiteral("Vor dem Ändern an eine Sicherung erinnern"));
    // Without a range in the file the English one stands, with the real bounds.
    EXPECT_EQ(Control<QLabel>(*form, "lblBlockRange")->text(), QStringLiteral("from 8 to 200000"));
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

TEST_F(OptionFormTest, AGroupBoxShowsAllSomeOrNoneTickedAndAClickNeverLeavesItPartly) {
    // Real Media (group 2) has .ram .rm .rmvb .rp .rpm .rt .smil .scm; group 11 the unknown ones.
    using Act = std::function<void(TOptionForm&)>;
    const auto group = [](int g) -> Act { return [g](TOptionForm& f) { f.GroupBox(g)->click(); }; };
    const auto member = [](int g, std::size_t i) -> Act {
        return [=](TOptionForm& f) { f.MemberBoxes(g)[i]->click(); };
    };
    const Act selectAll = [](TOptionForm& f) { Control<QCheckBox>(f, "cbxSelectAll")->click(); };
    const QByteArray all = ".ram;.rm;.rmvb;.rp;.rpm;.rt;.smil;.scm;";
    const struct {
        QByteArray stored;
        int group;
        std::vector<Act> clicks;
        Qt::CheckState state;
        int ticked;
    } cases[] = {
        {"", 2, {}, Qt::Unchecked, 0},
        {".rm;.rt;", 2, {}, Qt::PartiallyChecked, 2},
        {all, 2, {}, Qt::Checked, 8},
        {"", 2, {group(2)}, Qt::Checked, 8},
        {".rm;.rt;", 2, {group(2)}, Qt::Checked, 8},
        {all, 2, {group(2)}, Qt::Unchecked, 0},
        {all, 2, {member(2, 0)}, Qt::PartiallyChecked, 7},
        {".rm;.rmvb;.rp;.rpm;.rt;.smil;.scm;", 2, {member(2, 0)}, Qt::Checked, 8},
        {".rp;", 2, {member(2, 3)}, Qt::Unchecked, 0},
        {".rm;", 2, {selectAll}, Qt::Checked, 8},
        {".xyz;.abc;", 11, {member(11, 1)}, Qt::PartiallyChecked, 1},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        settings::Settings->SetVideoExts(cases[i].stored);
        auto form = Open();
        for (const Act& click : cases[i].clicks) click(*form);
        EXPECT_EQ(form->GroupBox(cases[i].group)->checkState(), cases[i].state);
        const auto members = form->MemberBoxes(cases[i].group);
        EXPECT_EQ(std::count_if(members.begin(), members.end(), [](QCheckBox* b) { return b->isChecked(); }),
                  cases[i].ticked);
    }
}

TEST_F(OptionFormTest, ABlockCountThatIsNoneInRangeIsMarkedAndOkNeitherSavesNorCloses) {
    enum class Then { Stay, Leave, Enter };
    const struct {
        const char* typed;
        Then then;
        int fixed;  // what the user then types, a valid count
    } cases[] = {{"7", Then::Stay, 8},
                 {"200001", Then::Leave, 200000},
                 {"0", Then::Enter, 9},
                 {"", Then::Leave, 16},
                 {"12.5", Then::Stay, 40}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        settings::Settings->SetBlocks(20);
        settings::Settings->SetShowSIBP(false);
        auto form = Open();
        auto* field = Control<TSpinEdit>(*form, "edtBlock");
        auto* range = Control<QLabel>(*form, "lblBlockRange");
        const QColor noteColour = range->palette().color(QPalette::WindowText);
        const QColor fieldColour = field->palette().color(QPalette::Base);

        TypeBlocks(*form, QString::fromLatin1(c.typed), c.then == Then::Leave);
        if (c.then == Then::Enter) QTest::keyClick(field, Qt::Key_Return);
        EXPECT_NE(range->palette().color(QPalette::WindowText), noteColour);
        EXPECT_NE(field->palette().color(QPalette::Base), fieldColour);
        Control<QCheckBox>(*form, "cbxSIBP")->click();
        form->btnOkMe->click();
        EXPECT_NE(form->result(), mrOk);
        EXPECT_EQ(settings::Settings->Blocks(), 20);
        EXPECT_FALSE(settings::Settings->ShowSIBP()) << "nothing is written";
        EXPECT_EQ(field->text(), QString::fromLatin1(c.typed)) << "the text stays as typed";
        EXPECT_EQ(field->value(), 20) << "the last valid count stays";

        // Put right, the marks go and OK saves.
        TypeBlocks(*form, QString::number(c.fixed), false);
        EXPECT_EQ(range->palette().color(QPalette::WindowText), noteColour);
        EXPECT_EQ(field->palette().color(QPalette::Base), fieldColour);
        form->btnOkMe->click();
        EXPECT_EQ(form->result(), mrOk);
        EXPECT_EQ(settings::Settings->Blocks(), c.fixed);
    }
}

TEST_F(OptionFormTest, TheBackupWarningBoxShowsTheSettingAndOnlyOkWritesIt) {
    const struct {
        bool stored, click, ok, expected;
    } cases[] = {{false, true, true, true},
                 {true, true, true, false},
                 {false, true, false, false},
                 {true, false, true, true}};
    for (const auto& [stored, click, ok, expected] : cases) {
        settings::Settings->SetShowRiskWarn(stored);
        auto form = Open();
        auto* box = Control<QCheckBox>(*form, "cbxRiskWarn");
        EXPECT_EQ(box->isChecked(), stored);
        if (click) box->click();
        (ok ? form->btnOkMe : form->btnCancelMe)->click();
        EXPECT_EQ(settings::Settings->ShowRiskWarn(), expected) << stored << click << ok;
    }
}

TEST_F(OptionFormTest, LongerTextsPushTheRowsBelowDownAndTheDialogGrowsForThem) {
    const QByteArray note = "* " + QByteArray("blocks take longer ").repeated(12);
    const struct {
        QByteArray label, range, note;
    } cases[] = {{"Blocks:", "from %d to %d", "* Short"},
                 {"Blocks:", "from %d to %d", note.left(130)},  // two lines
                 {"A label as long as a label could ever be:", "whole numbers from %d up to %d only", note}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.note.size());
        LoadGermanLanguage("<CUI_TOptionForm_Label2>" + c.label + "</CUI_TOptionForm_Label2>" +
                           "<CUI_TOptionForm_lblBlockRange>" + c.range + "</CUI_TOptionForm_lblBlockRange>" +
                           "<CUI_TOptionForm_Label3>" + c.note + "</CUI_TOptionForm_Label3>");
        auto form = Open();
        std::vector<QWidget*> rows{Control<TSpinEdit>(*form, "edtBlock")};
        auto* range = Control<QLabel>(*form, "lblBlockRange");
        if (range->x() < rows[0]->x()) rows.push_back(range);  // under the field, for want of room
        for (const char* name : {"Label3", "cbxThumbnails", "cbxWholeStreams", "cbxSIBP", "cbxRiskWarn"})
            rows.push_back(Control<QWidget>(*form, name));
        rows.push_back(form->btnOkMe);
        // Each row starts clear of the one above, with a little air where a text ends.
        for (std::size_t i = 1; i < rows.size(); ++i)
            EXPECT_GE(rows[i]->y(), rows[i - 1]->geometry().bottom() + 5)
                << rows[i]->objectName().toStdString();
        EXPECT_LE(range->geometry().right(), Control<QWidget>(*form, "ScrollBox1")->geometry().right());
        EXPECT_LE(form->btnOkMe->geometry().bottom(), form->height() - 5);
    }
}

}  // namespace
