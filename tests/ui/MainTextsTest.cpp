// The main window in a language: every caption, tool tip and run-time text from the language file,
// the left labels lined up with the translated texts, the "Languages" menu, and what a switch of
// language refreshes.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>

#include <map>

#include "UiTestUtil.h"
#include "ui/FileListView.h"
#include "ui/LinkLabel.h"
#include "ui/MainForm.h"
#include "ui/OruButton.h"

using namespace ui;
using uitest::Control;
using uitest::SendLanguageChanged;

namespace {

class MainTextsTest : public uitest::UiTest {
protected:
    QString folder;
    std::unique_ptr<TMainForm> form;

    void SetUp() override {
        UiTest::SetUp();
        folder = Path("Languages") + QStringLiteral("/");
        QDir().mkpath(folder);
        lang::Language = std::make_unique<lang::TLanguage>(folder);
    }
    void TearDown() override {
        form.reset();
        UiTest::TearDown();
    }

    // A language file whose every text is `prefix` + its key, but for `missing` and the `texts` given.
    void WriteLanguage(const QString& name, const QString& prefix, const QStringList& missing = {},
                       const std::map<QString, QString>& texts = {}) const {
        std::map<QString, QString> all;
        for (const TTextRow& row : MainFormTexts())
            all[QLatin1String(row.Key)] = prefix + QLatin1String(row.Key);
        for (const auto& [key, text] : texts) all[key] = text;
        for (const QString& key : missing) all.erase(key);
        QString xml =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Lang Id=\"%1\" Name=\"%1\">\n")
                .arg(name);
        for (const auto& [key, text] : all)
            xml += QStringLiteral("<%1>%2</%1>\n").arg(key, text.toHtmlEscaped());
        xml += QStringLiteral("</Lang>\n");
        QFile file(folder + name + QStringLiteral(".xml"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(xml.toUtf8());
    }

    void Create(const QByteArray& language = {}) {
        if (!language.isEmpty()) {
            settings::Settings->SetLangFileId(QString::fromLatin1(language));
            lang::Language->SetLanguageName(language);
            ASSERT_TRUE(lang::Language->LoadLanguageFile(language));
        }
        form = CreateForm<TMainForm>();
    }

    QList<QLabel*> LeftLabels() const {
        return {Control<QLabel>(*form, "Label3"), Control<QLabel>(*form, "Label1"),
                Control<QLabel>(*form, "Label2"), Control<QLabel>(*form, "Label4"),
                Control<QLabel>(*form, "Label6")};
    }
    QAction* LanguageItem(const QString& caption) const {
        for (QAction* item : Control<QMenu>(*form, "pmiLanguageMenu")->actions())
            if (item->text() == caption) return item;
        return nullptr;
    }
};

TEST_F(MainTextsTest, WithoutALanguageTheWindowKeepsItsDesignTextsAndPlaces) {
    WriteLanguage(QStringLiteral("Other"), QStringLiteral("O:"));  // offered, not loaded
    Create();
    for (QLabel* label : LeftLabels()) EXPECT_EQ(label->x(), 16) << label->objectName().toStdString();
    EXPECT_EQ(Control<QLabel>(*form, "Label2")->text(), QStringLiteral("Directory 1"));
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Encrypt / Decrypt"));
    EXPECT_EQ(Control<QComboBox>(*form, "cbFileType")->itemText(2),
              QStringLiteral("Only process unencrypted files"));
    // A tool tip names the button's shortcut after its text.
    EXPECT_EQ(Control<TOruButton>(*form, "btnRefresh")->toolTip(), QStringLiteral("Refresh (F5)"));
    EXPECT_EQ(Control<TOruButton>(*form, "btnRefresh")->accessibleName(), QStringLiteral("Refresh"));
    EXPECT_EQ(form->Texts().DragFile, QStringLiteral("Drag and drop your files here"));
    EXPECT_EQ(Control<QCheckBox>(*form, "cbxSub")->x() + Control<QCheckBox>(*form, "cbxSub")->width(),
              Control<QComboBox>(*form, "cbPath")->x() + Control<QComboBox>(*form, "cbPath")->width() + 4);
}

TEST_F(MainTextsTest, ALanguageGivesEveryTextAndAMissingKeyAnEmptyOne) {
    WriteLanguage(QStringLiteral("Test"), QStringLiteral("T:"),
                  {QStringLiteral("CUI_TMainForm_btnRefresh"), QStringLiteral("CUI_TMainForm_Label4"),
                   QStringLiteral("RUI_TMainForm_Finished")});
    Create("Test");
    const auto t = [](const char* key) { return QStringLiteral("T:") + QLatin1String(key); };

    EXPECT_EQ(Control<TOruButton>(*form, "btnHelp")->Caption(), t("CUI_TMainForm_btnHelp"));
    EXPECT_EQ(Control<QLabel>(*form, "Label2")->text(), t("CUI_TMainForm_Label2"));
    EXPECT_EQ(Control<QLabel>(*form, "Label4")->text(), QString());
    EXPECT_EQ(Control<QLabel>(*form, "Label6")->text(), t("CUI_TMainForm_Label6"));
    for (QCheckBox* sub : {Control<QCheckBox>(*form, "cbxSub"), Control<QCheckBox>(*form, "cbxSub2"),
                           Control<QCheckBox>(*form, "cbxSub3")})
        EXPECT_EQ(sub->text(), t("CUI_TMainForm_cbxSub"));
    EXPECT_EQ(Control<TOruButton>(*form, "btnAdd")->toolTip(),
              t("CUI_TMainForm_btnAdd") + QStringLiteral(" (Ctrl+O)"));
    EXPECT_EQ(Control<TOruButton>(*form, "btnClear")->toolTip(), t("CUI_TMainForm_btnClear"));
    EXPECT_EQ(Control<TOruButton>(*form, "btnRefresh")->toolTip(), QStringLiteral("F5")) << "the keys alone";
    EXPECT_EQ(Control<TOruButton>(*form, "btnDirectory")->Caption(), t("CUI_TMainForm_btnDirectory"));
    EXPECT_EQ(Control<QLabel>(*form, "lblKey")->text(), t("CUI_TMainForm_lblKey"));
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), t("CUI_TMainForm_btnEncrypt"));
    EXPECT_EQ(Control<QComboBox>(*form, "cbFileType")->itemText(1), t("CUI_TMainForm_cbFileTypeitem1"));
    EXPECT_EQ(Control<QComboBox>(*form, "cbFileType")->currentIndex(), 0);
    EXPECT_EQ(Control<QCheckBox>(*form, "cbxKey")->text(), t("CUI_TMainForm_cbxKey"));
    EXPECT_EQ(Control<QLabel>(*form, "lblTime")->text(), t("CUI_TMainForm_lblTime"));
    for (QLabel* link : {Control<TLinkLabel>(*form, "lblDetail1"), Control<TLinkLabel>(*form, "lblDetail2"),
                         Control<TLinkLabel>(*form, "lblDetail3")})
        EXPECT_EQ(link->text(), t("CUI_TMainForm_lblDetail1"));
    EXPECT_EQ(Control<QAction>(*form, "pmiLanguage")->text(), t("CUI_TMainForm_pmiLanguage"));
    EXPECT_EQ(Control<QAction>(*form, "pmiOption")->text(), t("CUI_TMainForm_pmiOption"));
    EXPECT_EQ(Control<QAction>(*form, "pmiLocate")->text(), t("CUI_TMainForm_pmiLocate"));
    EXPECT_EQ(form->FileList()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              t("CUI_TMainForm_lvFilesColumn"));
    for (TOruButton* locate :
         {Control<TOruButton>(*form, "btnLocate"), Control<TOruButton>(*form, "btnLocate2"),
          Control<TOruButton>(*form, "btnLocate3")})
        EXPECT_EQ(locate->toolTip(), t("CUI_TMainForm_btnLocate"));
    EXPECT_EQ(Control<TOruButton>(*form, "btnPath3")->toolTip(), t("CUI_TMainForm_btnPath"));

    // The run-time texts, including those that share a caption's key or borrow another window's.
    EXPECT_EQ(form->Texts().DragFile, t("RUI_TMainForm_DragFile"));
    EXPECT_EQ(form->Texts().EncryptDecrypt, t("CUI_TMainForm_btnEncrypt"));
    EXPECT_EQ(form->Texts().Failed, t("CUI_TMainForm_lblFailed"));
    EXPECT_EQ(form->Texts().Cancel, t("CUI_TRiskWarnForm_btnCancelMe"));
    EXPECT_EQ(form->Texts().UnknownErr, t("RUI_TMainForm_UnknownErr"));
    EXPECT_EQ(form->Texts().Finished, QString());
    EXPECT_EQ(form->Texts().FinishedFailed, t("RUI_TMainForm_FinishedFailed"));
}

TEST_F(MainTextsTest, TheLeftLabelsLineUpAtTheLongestAndTheSubdirectoryBoxesFitTheirText) {
    WriteLanguage(QStringLiteral("Short"), QStringLiteral("S:"), {},
                  {{"CUI_TMainForm_Label3", "Ziel"},
                   {"CUI_TMainForm_Label1", "Summe"},
                   {"CUI_TMainForm_Label2", "Ordner 123"},
                   {"CUI_TMainForm_cbxSub", "Mit allen Unterordnern und noch mehr"}});
    Create("Short");
    const int left =
        Control<QComboBox>(*form, "cbFileType")->x() - 10 - Control<QLabel>(*form, "Label2")->width();
    EXPECT_LT(left, 16);
    EXPECT_GE(left, 8);
    for (QLabel* label : LeftLabels()) EXPECT_EQ(label->x(), left) << label->objectName().toStdString();
    EXPECT_EQ(Control<QComboBox>(*form, "cbFileType")->x(), 84);

    const int subWidth =
        std::max(25 + form->fontMetrics().horizontalAdvance(Control<QCheckBox>(*form, "cbxSub")->text()),
                 Control<QCheckBox>(*form, "cbxSub")->sizeHint().width());
    for (QCheckBox* sub : {Control<QCheckBox>(*form, "cbxSub"), Control<QCheckBox>(*form, "cbxSub2"),
                           Control<QCheckBox>(*form, "cbxSub3")}) {
        EXPECT_EQ(sub->width(), subWidth);
        EXPECT_EQ(sub->x() + sub->width(), Control<QComboBox>(*form, "cbPath")->x() +
                                               Control<QComboBox>(*form, "cbPath")->width() + 4);
        EXPECT_GE(sub->width(), sub->sizeHint().width()) << "the caption is shown whole";
    }
}

TEST_F(MainTextsTest, TextsTooLongForTheirRoomMoveTheFieldsAndWidenTheRunButton) {
    std::map<QString, QString> shortTexts{
        {"CUI_TMainForm_Label3", "Ziel"},         {"CUI_TMainForm_Label1", "Summe"},
        {"CUI_TMainForm_Label2", "Ordner 1"},     {"CUI_TMainForm_Label4", "Ordner 2"},
        {"CUI_TMainForm_Label6", "Ordner 3"},     {"CUI_TMainForm_btnEncrypt", "Los"},
        {"RUI_TMainForm_Decrypt", "Los"},         {"RUI_TMainForm_Encrypt", "Los"},
        {"CUI_TRiskWarnForm_btnCancelMe", "Halt"}};
    WriteLanguage(QStringLiteral("Short"), QStringLiteral("S:"), {}, shortTexts);
    std::map<QString, QString> longTexts = shortTexts;
    longTexts["CUI_TMainForm_Label3"] = QStringLiteral("Zu verarbeitende Dateien");
    longTexts["RUI_TMainForm_Encrypt"] = QStringLiteral("Jetzt alle Dateien verschlüsseln");
    WriteLanguage(QStringLiteral("Long"), QStringLiteral("L:"), {}, longTexts);
    Create("Long");
    const QRect path = Control<QComboBox>(*form, "cbPath")->geometry();

    // The longest label starts 8 pixels into the panel; the fields make room and keep their right end.
    for (QLabel* label : LeftLabels()) EXPECT_EQ(label->x(), 8) << label->objectName().toStdString();
    EXPECT_EQ(Control<QLabel>(*form, "Label3")->x() + Control<QLabel>(*form, "Label3")->width() + 10,
              Control<QComboBox>(*form, "cbFileType")->x());
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath")->x(), Control<QComboBox>(*form, "cbFileType")->x());
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath")->x() + Control<QComboBox>(*form, "cbPath")->width(),
              84 + 503);
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->x(), Control<QComboBox>(*form, "cbFileType")->x());

    Control<QComboBox>(*form, "cbFileType")->setCurrentIndex(2);
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(),
              QStringLiteral("Jetzt alle Dateien verschlüsseln"));
    EXPECT_GE(Control<TOruButton>(*form, "btnEncrypt")->width(),
              QFontMetrics(Control<TOruButton>(*form, "btnEncrypt")->font())
                      .horizontalAdvance(Control<TOruButton>(*form, "btnEncrypt")->Caption()) +
                  20);
    EXPECT_EQ(
        Control<TOruButton>(*form, "btnEncrypt")->x() + Control<TOruButton>(*form, "btnEncrypt")->width(),
        457 + 180);

    // Shorter texts put everything back as designed.
    lang::Language->LoadLanguageFile("Short");
    SendLanguageChanged(*form);
    EXPECT_EQ(Control<QComboBox>(*form, "cbFileType")->x(), 84);
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath")->geometry().x(), 84);
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath")->x() + Control<QComboBox>(*form, "cbPath")->width(),
              path.x() + path.width());
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->x(), 84);
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->x(), 457);
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->width(), 180);
    EXPECT_GT(Control<QLabel>(*form, "Label3")->x(), 16);
}

TEST_F(MainTextsTest, TheLanguagesMenuSwitchesTheWindowAndWhatDerivesFromItsTexts) {
    WriteLanguage(QStringLiteral("Alpha"), QStringLiteral("A:"));
    WriteLanguage(QStringLiteral("Beta"), QStringLiteral("B:"), {},
                  {{"RUI_TMainForm_FileFilter", "Beta-Videos|%s|Alles|*.*"}});
    Create("Alpha");
    ASSERT_EQ(Control<QMenu>(*form, "pmiLanguageMenu")->actions().size(), 2);
    QAction* alpha = LanguageItem(QStringLiteral("Alpha"));
    QAction* beta = LanguageItem(QStringLiteral("Beta"));
    ASSERT_TRUE(alpha && beta);
    EXPECT_TRUE(alpha->isChecked());
    EXPECT_FALSE(beta->isChecked());
    EXPECT_TRUE(Control<QAction>(*form, "pmiLanguage")->isVisible());

    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    int hintPaints = 0;
    struct PaintCounter : QObject {
        int* count;
        explicit PaintCounter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++*count;
            return false;
        }
    } counter(&hintPaints);
    Control<TFileListView>(*form, "lvFiles")->viewport()->installEventFilter(&counter);
    QTest::qWait(50);
    hintPaints = 0;

    Control<QComboBox>(*form, "cbFileType")->setCurrentIndex(1);
    Control<TLinkLabel>(*form, "lblDetail1")->show();  // as after a job
    Control<TLinkLabel>(*form, "lblDetail3")->show();
    beta->trigger();
    EXPECT_EQ(settings::Settings->LangFileId(), QStringLiteral("Beta"));
    EXPECT_TRUE(beta->isChecked());
    EXPECT_FALSE(alpha->isChecked());
    ASSERT_TRUE(
        WaitFor([&] { return form->Texts().DragFile == QStringLiteral("B:RUI_TMainForm_DragFile"); }));
    EXPECT_EQ(Control<QLabel>(*form, "Label2")->text(), QStringLiteral("B:CUI_TMainForm_Label2"));
    EXPECT_TRUE(WaitFor([&] { return hintPaints > 0; })) << "the empty list shows its hint anew";
    EXPECT_TRUE(Control<TLinkLabel>(*form, "lblDetail1")->isHidden());
    EXPECT_TRUE(Control<TLinkLabel>(*form, "lblDetail3")->isHidden());
    EXPECT_EQ(Control<QComboBox>(*form, "cbFileType")->currentIndex(), 1);
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("B:RUI_TMainForm_Decrypt"));
    EXPECT_TRUE(form->FileFilter().startsWith(QStringLiteral("Beta-Videos (*.asf")))
        << form->FileFilter().toStdString();

    // Picking the language in use again changes nothing, and keeps its check mark.
    beta->trigger();
    EXPECT_TRUE(beta->isChecked());
    EXPECT_FALSE(alpha->isChecked());

    // While a job runs the run button keeps reading "Cancel", in the new language.
    QStringList files;
    for (int i = 0; i < 60; ++i) files << MakeFile("job/" + std::to_string(i) + ".mp4", 600'000);
    fileAnswers.push_back(files);
    Control<TOruButton>(*form, "btnAdd")->click();
    Control<TOruButton>(*form, "btnEncrypt")->click();
    ASSERT_TRUE(form->IsJobRunning());
    lang::Language->LoadLanguageFile("Alpha");
    SendLanguageChanged(*form);
    const bool stillRunning = form->IsJobRunning();
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(),
              stillRunning ? QStringLiteral("A:CUI_TRiskWarnForm_btnCancelMe")
                           : QStringLiteral("A:RUI_TMainForm_Decrypt"));
    EXPECT_TRUE(stillRunning) << "the job ended too early to see the running case";
    EXPECT_TRUE(WaitFor([&] { return !form->IsJobRunning() && !boxes.empty(); }, 30000));
}

// Qt's own file and folder dialogs speak the program's language, and follow a switch.
TEST_F(MainTextsTest, QtsDialogsFollowTheLanguage) {
    WriteLanguage(QStringLiteral("German"), QStringLiteral("G:"));
    WriteLanguage(QStringLiteral("Beta"), QStringLiteral("B:"));
    const auto lookIn = [] { return QCoreApplication::translate("QFileDialog", "Look in:"); };
    Create("German");
    EXPECT_EQ(lookIn(), QStringLiteral("Suchen in:"));

    LanguageItem(QStringLiteral("Beta"))->trigger();
    ASSERT_TRUE(WaitFor([&] { return lookIn() == QStringLiteral("Look in:"); }))
        << "a language Qt has no translation for leaves its English";
}

}  // namespace
