// The language files that ship with the program: each one loads, offers itself in the menu, and
// gives every key a text that can stand where the window puts it.
#include <gtest/gtest.h>

#include <QStringList>

#include <map>

#include <pugixml.hpp>

#include "lang/Language.h"

namespace {

const QString kFolder = QStringLiteral(VELMORA_LANGUAGES_DIR);

// Every key the windows look up, with its built-in English text.
const std::map<QString, QString>& EnglishTexts() {
    static const std::map<QString, QString> texts = {
        {"CUI_TMainForm_btnHelp", "Help"},
        {"CUI_TMainForm_Label2", "Directory 1"},
        {"CUI_TMainForm_Label4", "Directory 2"},
        {"CUI_TMainForm_Label6", "Directory 3"},
        {"CUI_TMainForm_cbxSub", "Includes subdirectories"},
        {"CUI_TMainForm_btnAdd", "Add files"},
        {"CUI_TMainForm_btnDelete", "Remove selected"},
        {"CUI_TMainForm_btnClear", "Remove all"},
        {"CUI_TMainForm_btnRefresh", "Refresh"},
        {"CUI_TMainForm_btnFiles", "Files"},
        {"CUI_TMainForm_btnDirectory", "Directories"},
        {"CUI_TMainForm_Label3", "Target"},
        {"CUI_TMainForm_lblKey", "* You need the same encryption key to decrypt files, don't forget it."},
        {"CUI_TMainForm_Label1", "Summary"},
        {"CUI_TMainForm_btnEncrypt", "Encrypt / Decrypt"},
        {"CUI_TMainForm_cbFileTypeitem0", "Both"},
        {"CUI_TMainForm_cbFileTypeitem1", "Only process encrypted files"},
        {"CUI_TMainForm_cbFileTypeitem2", "Only process unencrypted files"},
        {"CUI_TMainForm_cbxKey", "Encryption Key (case sensitive)"},
        {"CUI_TMainForm_lblFailed", "Failed: "},
        {"CUI_TMainForm_lblDecrypted", "Decrypted: "},
        {"CUI_TMainForm_lblEncrypted", "Encrypted: "},
        {"CUI_TMainForm_lblSize", "Processed file size: "},
        {"CUI_TMainForm_lblTime", "Time escaped: "},
        {"CUI_TMainForm_lblDetail1", "(details)"},
        {"CUI_TMainForm_pmiHome", "Homepage"},
        {"CUI_TMainForm_pmiHelp", "Help"},
        {"CUI_TMainForm_pmiLanguage", "Languages"},
        {"CUI_TMainForm_pmiLog", "Locate Log File"},
        {"CUI_TMainForm_pmiOption", "Options..."},
        {"CUI_TMainForm_pmiOpen", "Open"},
        {"CUI_TMainForm_pmiLocate", "Open file location"},
        {"CUI_TMainForm_lvFilesColumn", "File"},
        {"CUI_TMainForm_btnPath", "Select"},
        {"CUI_TMainForm_btnLocate", "Locate"},
        {"RUI_TMainForm_DragFile", "Drag and drop your files here"},
        {"RUI_TMainForm_SelectDir", "Select a directory"},
        {"RUI_TMainForm_Decrypt", "Decrypt"},
        {"RUI_TMainForm_Encrypt", "Encrypt"},
        {"RUI_TMainForm_Canceled", "Canceled!"},
        {"RUI_TMainForm_Finished", "Finished!"},
        {"RUI_TMainForm_Recovered",
         "These videos were left half-changed by an interrupted run and have been restored to how they were "
         "before it:"},
        {"RUI_TMainForm_NotRecovered",
         "These videos were left half-changed by an interrupted run and could not be restored yet. They are "
         "left as they are; every start tries again, and no run changes them until then:"},
        {"RUI_TMainForm_FileFilter", "All Video Files|%s|All Files(*.*)|*.*"},
        {"RUI_TMainForm_StopNow", "Stop encryption/decryption now?"},
        {"RUI_TMainForm_Byte", "bytes"},
        {"RUI_TMainForm_Second", "s"},
        {"RUI_TMainForm_AddFile", "Add your video files first."},
        {"RUI_TMainForm_AddDir", "Enter a directory first."},
        {"RUI_TMainForm_FailedRead", "failed to read or write"},
        {"RUI_TMainForm_IncorrectKey", "encryption key incorrect"},
        {"RUI_TMainForm_SmallFile", "file too small"},
        {"RUI_TMainForm_UnknownErr", "unknown error"},
        {"CUI_TOptionForm_lblCaption", "Options"},
        {"CUI_TOptionForm_btnOkMe", "OK"},
        {"CUI_TOptionForm_Label1", "File extensions:"},
        {"CUI_TOptionForm_Label2", "Encryption blocks:"},
        {"CUI_TOptionForm_Label3", "* Encrypted data blocks within a file, more blocks will take more time"},
        {"CUI_TOptionForm_cbxWin", "Windows Media"},
        {"CUI_TOptionForm_CheckBox8", "Real Media"},
        {"CUI_TOptionForm_CheckBox17", "MPEG1/2 Media"},
        {"CUI_TOptionForm_CheckBox35", "MPEG4 Media"},
        {"CUI_TOptionForm_CheckBox42", "3GPP Media"},
        {"CUI_TOptionForm_CheckBox47", "Apple Media"},
        {"CUI_TOptionForm_CheckBox50", "Flash Media"},
        {"CUI_TOptionForm_CheckBox55", "CD/DVD Media"},
        {"CUI_TOptionForm_CheckBox58", "Other Video Formats"},
        {"CUI_TOptionForm_CheckBox73", "Other Audio Formats"},
        {"CUI_TOptionForm_cbxOther", "Other Formats"},
        {"CUI_TOptionForm_cbxSIBP", "Show Orrelguard on title"},
        {"CUI_TOptionForm_cbxSelectAll", "Select all"},
        {"CUI_TRiskWarnForm_lblCaption", "Backup Your Data"},
        {"CUI_TRiskWarnForm_btnCancelMe", "Cancel"},
        {"CUI_TRiskWarnForm_Label1",
         "The encryption process will affect the original video files directly.\n"
         "If you are worried about data loss, backup your data first."},
        {"CUI_TRiskWarnForm_btnOK", "I understand, please continue."},
        {"CUI_TRiskWarnForm_cbxStop", "Don't show me again"},
    };
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
