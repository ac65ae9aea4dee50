// Language files: loading, lookups, the failed state, names that would leave the folder, and the
// widget-free half of the language menu.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include "lang/Language.h"
#include "support/TempDir.h"

using lang::TLanguage;
using lang::TLanguageMenu;

namespace {

class LanguageTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    QString root = QString::fromStdString(dir.path().string()) + QStringLiteral("/");
    QString folder = root + QStringLiteral("Languages/");
    std::vector<QString> errors;

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(folder)); }

    void Write(const QString& path, const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    void WriteLanguage(const QString& name, const QByteArray& text) { Write(folder + name + ".xml", text); }

    std::unique_ptr<TLanguage> NewLanguage() {
        auto language = std::make_unique<TLanguage>(folder);
        language->OnLoadError = [this](const QString& text, const QString& title) {
            errors.push_back(title + QStringLiteral(": ") + text);
        };
        return language;
    }

    static QStringList Captions(const TLanguageMenu& menu) {
        QStringList captions;
        for (const auto& entry : menu.Entries()) captions << entry.Caption;
        return captions;
    }
    static int Checked(const TLanguageMenu& menu) {
        int found = -1;
        for (std::size_t i = 0; i < menu.Entries().size(); ++i) {
            if (menu.Entries()[i].Checked) {
                EXPECT_EQ(found, -1) << "only one entry is checked";
                found = static_cast<int>(i);
            }
        }
        return found;
    }
};

TEST_F(LanguageTest, ALoadedFileGivesTheTextsOfItsKeys) {
    WriteLanguage("German",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Lang Id=\"German\" Name=\"Deutsch\">\n"
                  "  <CUI_TMainForm_btnHelp>Hilfe</CUI_TMainForm_btnHelp>\n"
                  "  <Nested><CUI_Deep>x</CUI_Deep></Nested>\n"
                  "  <CUI_TMainForm_btnHelp>second</CUI_TMainForm_btnHelp>\n</Lang>");
    auto language = NewLanguage();
    EXPECT_EQ(language->LanguageName(), QByteArray("Default"));
    EXPECT_TRUE(language->LoadLanguageFile("German"));
    EXPECT_TRUE(language->IsLoaded());
    EXPECT_EQ(language->GetText(QStringLiteral("CUI_TMainForm_btnHelp")), QStringLiteral("Hilfe"));
    EXPECT_EQ(language->GetText(QStringLiteral("cui_tmainform_btnhelp")), QString()) << "keys match exactly";
    EXPECT_EQ(language->GetText(QStringLiteral("CUI_Deep")), QString()) << "only children of the root";
    EXPECT_EQ(language->GetText(QStringLiteral("CUI_Missing")), QString());
    EXPECT_EQ(language->GetLanguageId(), QStringLiteral("German"));
    EXPECT_EQ(language->LanguageFile(), folder + QStringLiteral("German.xml"));
    EXPECT_EQ(language->LanguageName(), QByteArray("German"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(LanguageTest, Utf16FilesLoadToo) {
    const QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?><L Id=\"Chinese\"><K>\u4e2d\u6587</K></L>");
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(xml.utf16()), xml.size() * 2);
    WriteLanguage("Chinese", bytes);
    auto language = NewLanguage();
    ASSERT_TRUE(language->LoadLanguageFile("Chinese"));
    EXPECT_EQ(language->GetText(QStringLiteral("K")), QStringLiteral("\u4e2d\u6587"));
}

TEST_F(LanguageTest, TheFirstQueryLoadsTheCurrentName) {
    WriteLanguage("German", "<L Id=\"German\"><K>v</K></L>");
    auto language = NewLanguage();
    language->SetLanguageName("German");
    EXPECT_FALSE(language->LoadTried());
    EXPECT_EQ(language->GetText(QStringLiteral("K")), QStringLiteral("v"));
    EXPECT_TRUE(language->LoadTried());

    auto untouched = NewLanguage();  // "Default" names no file: the built-in texts serve
    EXPECT_FALSE(untouched->IsLoaded());
    EXPECT_EQ(untouched->GetLanguageId(), QStringLiteral("English"));
}

TEST_F(LanguageTest, EnglishReadsNoFileUntilAnotherLanguageWasLoaded) {
    WriteLanguage("English", "<L Id=\"English\" Name=\"English\"><K>from file</K></L>");
    WriteLanguage("German", "<L Id=\"German\"><K>Wert</K></L>");
    auto language = NewLanguage();
    EXPECT_FALSE(language->LoadLanguageFile("english"));
    EXPECT_FALSE(language->IsLoaded());
    EXPECT_TRUE(language->LanguageFile().isEmpty());

    ASSERT_TRUE(language->LoadLanguageFile("German"));
    EXPECT_TRUE(language->LoadLanguageFile("English"));  // back from another language: the file is read
    EXPECT_EQ(language->GetText(QStringLiteral("K")), QStringLiteral("from file"));
}

TEST_F(LanguageTest, AMissingFileLeavesTheCurrentLanguage) {
    WriteLanguage("German", "<L Id=\"German\"><K>Wert</K></L>");
    auto language = NewLanguage();
    EXPECT_FALSE(language->LoadLanguageFile("Klingon"));
    EXPECT_FALSE(language->IsLoaded());
    ASSERT_TRUE(language->LoadLanguageFile("German"));
    EXPECT_FALSE(language->LoadLanguageFile("Klingon"));
    EXPECT_EQ(language->GetText(QStringLiteral("K")), QStringLiteral("Wert"));
    EXPECT_EQ(language->LanguageName(), QByteArray("German"));
    EXPECT_TRUE(errors.empty()) << "a missing file is no error";
}

TEST_F(LanguageTest, ALanguageFileThatIsNoRegularFileIsNotRead) {
    ASSERT_EQ(::mkfifo((folder + QStringLiteral("German.xml")).toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), folder + QStringLiteral("Russian.xml")));
    auto language = NewLanguage();
    EXPECT_FALSE(language->LoadLanguageFile("German"));
    EXPECT_FALSE(language->LoadLanguageFile("Russian"));
    EXPECT_FALSE(language->IsLoaded());
}

TEST_F(LanguageTest, ABrokenFileIsReportedAndLeavesEmptyTextsUntilAGoodOneLoads) {
    WriteLanguage("German", "<L Id=\"German\"><K>Wert</K></L>");
    WriteLanguage("Broken", "<L Id=\"Broken\"><K>half");
    auto language = NewLanguage();
    ASSERT_TRUE(language->LoadLanguageFile("German"));

    EXPECT_FALSE(language->LoadLanguageFile("Broken"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], QStringLiteral("Error: Load language failed, please check!"));
    EXPECT_TRUE(language->LoadFailed());
    EXPECT_FALSE(language->IsLoaded());
    EXPECT_EQ(language->GetText(QStringLiteral("K")), QString()) << "the previous document is gone";

    // A good file afterwards is in use again.
    ASSERT_TRUE(language->LoadLanguageFile("German"));
    EXPECT_FALSE(language->LoadFailed());
    EXPECT_TRUE(language->IsLoaded());
    EXPECT_EQ(language->GetText(QStringLiteral("K")), QStringLiteral("Wert"));
}

TEST_F(LanguageTest, ANameNeverReachesOutsideTheLanguagesFolder) {
    Write(root + QStringLiteral("Secret.xml"), "<L Id=\"Secret\"><K>outside</K></L>");
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("sub")));
    Write(folder + QStringLiteral("sub/Inner.xml"), "<L Id=\"Inner\"><K>inner</K></L>");
    auto language = NewLanguage();
    for (const QByteArray& name : {QByteArray("../Secret"), QByteArray("..\\Secret"), QByteArray("sub/Inner"),
                                   QByteArray((root + QStringLiteral("Secret")).toLocal8Bit()),
                                   QByteArray("C:Secret"), QByteArray("")}) {
        EXPECT_FALSE(language->LoadLanguageFile(name)) << name.constData();
        EXPECT_FALSE(language->IsLoaded()) << name.constData();
    }
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(language->GetText(QStringLiteral("K")), QString());
}

TEST_F(LanguageTest, AFileWithoutIdCountsAsEnglish) {
    WriteLanguage("Plain", "<L Name=\"Plain\"><K>v</K></L>");
    auto language = NewLanguage();
    ASSERT_TRUE(language->LoadLanguageFile("Plain"));
    EXPECT_EQ(language->GetLanguageId(), QStringLiteral("English"));
}

TEST_F(LanguageTest, TheMenuOffersCaptionedFilesWithEnglishOnTop) {
    WriteLanguage("Chinese", "<L Id=\"Chinese\" Name=\"\u7b80\u4f53\u4e2d\u6587\"/>");
    WriteLanguage("English", "<L Id=\"English\" Name=\"English\"/>");
    WriteLanguage("German", "<L Id=\"German\" Name=\"Deutsch\"/>");
    WriteLanguage("NoName", "<L Id=\"NoName\"/>");
    WriteLanguage("Broken", "<L Name=\"Broken\"");
    Write(folder + QStringLiteral("notes.txt"), "<L Name=\"Notes\"/>");
    auto language = NewLanguage();

    const TLanguageMenu menu(*language);
    EXPECT_EQ(Captions(menu),
              (QStringList{QStringLiteral("English"), QStringLiteral("\u7b80\u4f53\u4e2d\u6587"),
                           QStringLiteral("Deutsch")}));
    EXPECT_EQ(Checked(menu), 0) << "nothing loaded: the file named English";
    EXPECT_EQ(menu.Entries()[2].FileName, folder + QStringLiteral("German.xml"));
    EXPECT_TRUE(errors.empty()) << "listing reports nothing";
}

TEST_F(LanguageTest, TwoEnglishCaptionsPutTheLaterListedFirst) {
    WriteLanguage("A-English", "<L Name=\"English\"/>");
    WriteLanguage("B-English", "<L Name=\"english\"/>");
    WriteLanguage("C", "<L Name=\"Other\"/>");
    auto language = NewLanguage();
    const TLanguageMenu menu(*language);
    ASSERT_EQ(menu.Entries().size(), 3u);
    EXPECT_EQ(menu.Entries()[0].FileName, folder + QStringLiteral("B-English.xml"));
    EXPECT_EQ(menu.Entries()[1].FileName, folder + QStringLiteral("A-English.xml"));
    EXPECT_EQ(Checked(menu), -1);
}

TEST_F(LanguageTest, TheMenuChecksTheLoadedFileAndClickSwitches) {
    WriteLanguage("English", "<L Id=\"English\" Name=\"English\"><K>Value</K></L>");
    WriteLanguage("German", "<L Id=\"German\" Name=\"Deutsch\"><K>Wert</K></L>");
    WriteLanguage("Russian", "<L Id=\"Russian\" Name=\"Russian\"><K>half");
    auto language = NewLanguage();
    ASSERT_TRUE(language->LoadLanguageFile("German"));

    TLanguageMenu menu(*language);
    ASSERT_EQ(Captions(menu), (QStringList{QStringLiteral("English"), QStringLiteral("Deutsch")}));
    EXPECT_EQ(Checked(menu), 1);
    EXPECT_EQ(menu.Click(1), std::nullopt) << "already checked";

    EXPECT_EQ(menu.Click(0), QStringLiteral("English"));
    EXPECT_EQ(Checked(menu), 0);
    EXPECT_EQ(language->GetText(QStringLiteral("K")), QStringLiteral("Value"));
    EXPECT_EQ(menu.Click(7), std::nullopt);
}

TEST_F(LanguageTest, TheCheckMarkFollowsTheChoiceEvenWhenTheFileFailsToLoad) {
    WriteLanguage("German", "<L Id=\"German\" Name=\"Deutsch\"><K>Wert</K></L>");
    WriteLanguage("Russian", "<L Id=\"Russian\" Name=\"Russian\"><K>R</K></L>");
    auto language = NewLanguage();
    ASSERT_TRUE(language->LoadLanguageFile("German"));
    TLanguageMenu menu(*language);
    ASSERT_EQ(Captions(menu), (QStringList{QStringLiteral("Deutsch"), QStringLiteral("Russian")}));
    WriteLanguage("Russian", "<L Id=\"Russian\" Name=\"Russian\"><K>broken");  // spoilt after listing

    EXPECT_EQ(menu.Click(1), QStringLiteral("Russian"));
    EXPECT_EQ(Checked(menu), 1);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_FALSE(language->IsLoaded());
}

}  // namespace
