// The start-up's language: the installer's choice taken over into the settings once, then the
// language the settings name loaded.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QSettings>

#include "app/Program.h"
#include "lang/Language.h"
#include "settings/KZVConfig.h"
#include "support/TempDir.h"

using settings::TKZVConfig;
using settings::TProjObj;

namespace {

void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

class LoadLanguageTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::unique_ptr<TKZVConfig> config = TProjObj::Create<TKZVConfig>();
    QString program = Path("program/");
    QString data = Path("data/");

    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(program + QStringLiteral("Languages")));
        ASSERT_TRUE(QDir().mkpath(data));
        WriteText(program + QStringLiteral("Languages/German.xml"),
                  "<Language Id=\"German\" Name=\"Deutsch\"><Key>Wert</Key></Language>");
        WriteText(program + QStringLiteral("Languages/Russian.xml"),
                  "<Language Id=\"Russian\" Name=\"Russian\"><Key>R</Key></Language>");
        lang::Language = std::make_unique<lang::TLanguage>(program + QStringLiteral("Languages/"));
    }
    void TearDown() override { lang::Language.reset(); }

    QString Path(const char* name) const { return QString::fromStdString(dir.file(name)); }
    void Load(TKZVConfig& settings) const { app::LoadLanguage(settings, *lang::Language, program, data); }

    int CopyRead() const {
        QSettings ini(data + QStringLiteral("SetupLang.ini"), QSettings::IniFormat);
        return ini.value(QStringLiteral("Default/Read"), -1).toInt();
    }
};

TEST_F(LoadLanguageTest, TheInstallersChoiceIsTakenOverOnce) {
    WriteText(program + QStringLiteral("SetupLang.ini"), "[Default]\nRead=0\nLangId=German\n");
    Load(*config);
    EXPECT_EQ(config->LangFileId(), QStringLiteral("German"));
    EXPECT_EQ(CopyRead(), 1);
    EXPECT_EQ(lang::Language->LanguageName(), QByteArray("German"));
    EXPECT_EQ(lang::Language->GetText(QStringLiteral("Key")), QStringLiteral("Wert"));

    // The user switches language; the next start keeps that choice.
    auto next = TProjObj::Create<TKZVConfig>();
    next->SetLangFileId(QStringLiteral("Russian"));
    lang::Language = std::make_unique<lang::TLanguage>(program + QStringLiteral("Languages/"));
    Load(*next);
    EXPECT_EQ(next->LangFileId(), QStringLiteral("Russian"));
    EXPECT_EQ(lang::Language->GetLanguageId(), QStringLiteral("Russian"));
}

// An INI reader splits a value at its commas; the installer meant one name, and gets it back whole.
TEST_F(LoadLanguageTest, AChoiceWithCommasIsTakenAsOneName) {
    WriteText(program + QStringLiteral("Languages/Chinese,Simplified.xml"),
              "<Language Id=\"Chinese\" Name=\"Chinese\"><Key>Z</Key></Language>");
    WriteText(program + QStringLiteral("SetupLang.ini"), "[Default]\nRead=0\nLangId=Chinese,Simplified\n");
    Load(*config);
    EXPECT_EQ(config->LangFileId(), QStringLiteral("Chinese,Simplified"));
    EXPECT_EQ(lang::Language->GetText(QStringLiteral("Key")), QStringLiteral("Z"));
}

TEST_F(LoadLanguageTest, AnExistingCopyIsNotReplacedByTheProgramFoldersFile) {
    WriteText(program + QStringLiteral("SetupLang.ini"), "[Default]\nRead=0\nLangId=German\n");
    WriteText(data + QStringLiteral("SetupLang.ini"), "[Default]\nRead=0\nLangId=Russian\n");
    Load(*config);
    EXPECT_EQ(config->LangFileId(), QStringLiteral("Russian"));
}

TEST_F(LoadLanguageTest, MissingOrUnreadableKeysKeepTheCurrentLanguage) {
    WriteText(data + QStringLiteral("SetupLang.ini"), "[Default]\nLangId=German\n");
    Load(*config);
    EXPECT_EQ(config->LangFileId(), QStringLiteral("English")) << "a missing Read counts as already read";

    WriteText(data + QStringLiteral("SetupLang.ini"), "[Default]\nRead=0\n");
    config->SetLangFileId(QStringLiteral("Russian"));
    Load(*config);
    EXPECT_EQ(config->LangFileId(), QStringLiteral("Russian")) << "a missing LangId keeps LangFileId";
    EXPECT_EQ(CopyRead(), 1);
}

TEST_F(LoadLanguageTest, AnInstallerChoiceThatIsNoRegularFileIsNotRead) {
    ASSERT_EQ(::mkfifo((data + QStringLiteral("SetupLang.ini")).toLocal8Bit().constData(), 0600), 0);
    config->SetLangFileId(QStringLiteral("German"));
    Load(*config);  // returns: the FIFO is never opened
    EXPECT_EQ(config->LangFileId(), QStringLiteral("German"));
    EXPECT_EQ(lang::Language->GetText(QStringLiteral("Key")), QStringLiteral("Wert"));
}

TEST_F(LoadLanguageTest, WithoutAnyIniTheSavedLanguageIsLoaded) {
    config->SetLangFileId(QStringLiteral("German"));
    Load(*config);
    EXPECT_EQ(config->LangFileId(), QStringLiteral("German"));
    EXPECT_TRUE(lang::Language->IsLoaded());
    EXPECT_EQ(lang::Language->GetLanguageId(), QStringLiteral("German"));
    EXPECT_FALSE(QFile::exists(data + QStringLiteral("SetupLang.ini")));
}

}  // namespace
