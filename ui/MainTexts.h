#pragma once
// The main window's run-time texts: held for the whole run, English until a language replaces them,
// read at the moment a text is needed.

#include <QString>

#include <array>

#include "engine/JobFormat.h"

namespace ui {

struct TMainTexts {
    QString DragFile = QStringLiteral("Drag and drop your files here");
    QString SelectDir = QStringLiteral("Select a directory");
    QString EncryptDecrypt = QStringLiteral("Encrypt / Decrypt");  // run button, target "Both"
    QString Decrypt = QStringLiteral("Decrypt");                   // run button, only encrypted files
    QString Encrypt = QStringLiteral("Encrypt");                   // run button, only unencrypted files
    QString Encrypted = QStringLiteral("Encrypted: ");             // summary prefixes
    QString Decrypted = QStringLiteral("Decrypted: ");
    QString Failed = QStringLiteral("Failed: ");
    QString Size = QStringLiteral("Processed file size: ");
    QString Time = QStringLiteral("Time escaped: ");
    QString Canceled = QStringLiteral("Canceled!");
    QString Finished = QStringLiteral("Finished!");
    QString FileFilter = QStringLiteral("All Video Files|%s|All Files(*.*)|*.*");
    QString StopNow = QStringLiteral("Stop encryption/decryption now?");
    QString Cancel = QStringLiteral("Cancel");  // run button while a job runs
    QString Byte = QStringLiteral("bytes");
    QString Second = QStringLiteral("s");
    QString AddFile = QStringLiteral("Add your video files first.");
    QString AddDir = QStringLiteral("Enter a directory first.");
    QString FailedRead = QStringLiteral("failed to read or write");
    QString IncorrectKey = QStringLiteral("encryption key incorrect");
    QString SmallFile = QStringLiteral("file too small");
    QString UnknownErr = QStringLiteral("unknown error");
    // The note after start-up has put back files that an interrupted run left half-changed.
    QString Recovered = QStringLiteral(
        "These videos were left half-changed by an interrupted run and have been "
        "restored to how they were before it:");
    // ... and those it could not put back yet.
    QString NotRecovered = QStringLiteral(
        "These videos were left half-changed by an interrupted run and could not be restored yet. They "
        "are left as they are; every start tries again, and no run changes them until then:");

    // The rules of job results in these texts; `chinese` when the language's identity is "Chinese".
    engine::TJobTexts JobTexts(bool chinese) const;
};

// Each text's language key, in the order a language is applied.
struct TMainTextKey {
    const char* Key;
    QString TMainTexts::*Text;
};
inline const std::array<TMainTextKey, 25> kMainTextKeys{{
    {"RUI_TMainForm_DragFile", &TMainTexts::DragFile},
    {"RUI_TMainForm_SelectDir", &TMainTexts::SelectDir},
    {"CUI_TMainForm_btnEncrypt", &TMainTexts::EncryptDecrypt},
    {"RUI_TMainForm_Decrypt", &TMainTexts::Decrypt},
    {"RUI_TMainForm_Encrypt", &TMainTexts::Encrypt},
    {"CUI_TMainForm_lblEncrypted", &TMainTexts::Encrypted},
    {"CUI_TMainForm_lblDecrypted", &TMainTexts::Decrypted},
    {"CUI_TMainForm_lblFailed", &TMainTexts::Failed},
    {"CUI_TMainForm_lblSize", &TMainTexts::Size},
    {"CUI_TMainForm_lblTime", &TMainTexts::Time},
    {"RUI_TMainForm_Canceled", &TMainTexts::Canceled},
    {"RUI_TMainForm_Finished", &TMainTexts::Finished},
    {"RUI_TMainForm_FileFilter", &TMainTexts::FileFilter},
    {"RUI_TMainForm_StopNow", &TMainTexts::StopNow},
    {"CUI_TRiskWarnForm_btnCancelMe", &TMainTexts::Cancel},
    {"RUI_TMainForm_Byte", &TMainTexts::Byte},
    {"RUI_TMainForm_Second", &TMainTexts::Second},
    {"RUI_TMainForm_AddFile", &TMainTexts::AddFile},
    {"RUI_TMainForm_AddDir", &TMainTexts::AddDir},
    {"RUI_TMainForm_FailedRead", &TMainTexts::FailedRead},
    {"RUI_TMainForm_IncorrectKey", &TMainTexts::IncorrectKey},
    {"RUI_TMainForm_SmallFile", &TMainTexts::SmallFile},
    {"RUI_TMainForm_UnknownErr", &TMainTexts::UnknownErr},
    {"RUI_TMainForm_Recovered", &TMainTexts::Recovered},
    {"RUI_TMainForm_NotRecovered", &TMainTexts::NotRecovered},
}};

}  // namespace ui
