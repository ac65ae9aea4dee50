// The language files that ship with the program: each one loads, offers itself in the menu, and
// gives every key a text that can stand where the window puts it.
#include <gtest/gtest.h>

#include <QStringList>

#include <map>

#include <pugixml.hpp>

#include "cli/RunNotices.h"
#include "lang/Language.h"
#include "ui/MainTexts.h"
#include "ui/MsgBoxForm.h"
#include "ui/OptionForm.h"
#include "ui/RiskWarnForm.h"

namespace {

const QString kFolder = QStringLiteral(VELMORA_LANGUAGES_DIR);

// Every key the program looks up, with its built-in English text, from the windows' own tables and
// the notification's.
const std::map<QString, QString>& EnglishTexts() {
    static const std::map<QString, QString> texts = [] {
        std::map<QString, QString> all;
        for (const auto table : {ui::MainFormTexts(), ui::OptionFormTexts(), ui::RiskWarnFormTexts(),
                                 ui::MsgBoxFormTexts(), ui::FrameTexts()}) {
            for (const ui::TTextRow& row : table) {
                const auto [at, added] = all.emplace(QLatin1String(row.Key), ui::EnglishText(row));
                // A key that two windows show must mean the same text in both.
                EXPECT_EQ(at->second, ui::EnglishText(row)) << row.Key;
            }
        }
        // What velmora-cli's desktop notification says.
        for (const auto& [key, english] : cli::NoticeTextKeys())
            EXPECT_TRUE(all.emplace(key, english).second) << key.toStdString();
        return all;
    }();
    return texts;
}

struct Shipped {
    const char* file;
    const char* id;
    const char* name;
};

class LanguageFilesTest : public ::testing::TestWithParam<Shipped> {};

TEST_P(LanguageFilesTest, LoadsWithItsIdentityAndEveryKey) {
    const Shipped& shipped = GetParam();
    lang::TLanguage language(kFolder);
    language.LoadLanguageFile("German");  // another language first, so that English is read from its file
    ASSERT_TRUE(language.LoadLanguageFile(shipped.file));
    EXPECT_EQ(language.GetLanguageId(), QString::fromUtf8(shipped.id));
    EXPECT_EQ(lang::GetLanguageCaption(kFolder + shipped.file + ".xml"), QString::fromUtf8(shipped.name));

    for (const auto& [key, english] : EnglishTexts()) {
        const QString text = language.GetText(key);
        EXPECT_FALSE(text.trimmed().isEmpty()) << shipped.file << ": " << key.toStdString();
        if (QString::fromUtf8(shipped.file) == QStringLiteral("English")) {
            EXPECT_EQ(text, english) << key.toStdString();
        }
    }
}

TEST_P(LanguageFilesTest, HoldsNoKeyTheWindowsDoNotUse) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((kFolder + GetParam().file + ".xml").toLocal8Bit().constData()));
    int count = 0;
    for (pugi::xml_node child : doc.document_element().children()) {
        ++count;
        EXPECT_EQ(EnglishTexts().count(QString::fromUtf8(child.name())), 1u) << child.name();
    }
    EXPECT_EQ(count, static_cast<int>(EnglishTexts().size())) << "each key once";
}

TEST_P(LanguageFilesTest, FormattedTextsKeepWhatTheCodeRelies) {
    lang::TLanguage language(kFolder);
    language.LoadLanguageFile("German");
    ASSERT_TRUE(language.LoadLanguageFile(GetParam().file));

    // The open-file dialog's filter: two description|patterns pairs, the video patterns as %s.
    const QStringList filter =
        language.GetText(QStringLiteral("RUI_TMainForm_FileFilter")).split(QLatin1Char('|'));
    ASSERT_EQ(filter.size(), 4);
    EXPECT_EQ(filter[1], QStringLiteral("%s"));
    EXPECT_EQ(filter[3], QStringLiteral("*.*"));
    EXPECT_EQ(language.GetText(QStringLiteral("RUI_TMainForm_FileFilter")).count(QLatin1Char('%')), 1);

    // The summary prefixes are followed directly by a number.
    for (const char* key : {"CUI_TMainForm_lblEncrypted", "CUI_TMainForm_lblDecrypted",
                            "CUI_TMainForm_lblFailed", "CUI_TMainForm_lblSize", "CUI_TMainForm_lblTime"}) {
        const QString prefix = language.GetText(QString::fromLatin1(key));
        EXPECT_TRUE(prefix.endsWith(QStringLiteral(": ")) || prefix.endsWith(QChar(0xFF1A))) << key;
    }
    EXPECT_EQ(language.GetText(QStringLiteral("CUI_TRiskWarnForm_Label1")).count(QLatin1Char('\n')), 1);
    for (const auto& [key, english] : EnglishTexts()) {
        EXPECT_EQ(language.GetText(key).count(QLatin1Char('%')), english.count(QLatin1Char('%')))
            << key.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, LanguageFilesTest,
    ::testing::Values(Shipped{"English", "English", "English"},
                      Shipped{"Chinese", "Chinese", "\u7b80\u4f53\u4e2d\u6587"},
                      Shipped{"German", "German", "Deutsch"},
                      Shipped{"Russian", "Russian", "\u0420\u0443\u0441\u0441\u043a\u0438\u0439"}),
    [](const ::testing::TestParamInfo<Shipped>& info) { return std::string(info.param.file); });

TEST(ShippedLanguages, TheMenuListsAllFourWithEnglishFirst) {
    lang::TLanguage language(kFolder);
    const lang::TLanguageMenu menu(language);
    ASSERT_EQ(menu.Entries().size(), 4u);
    EXPECT_EQ(menu.Entries()[0].Caption, QStringLiteral("English"));
    EXPECT_TRUE(menu.Entries()[0].Checked);
}

}  // namespace
