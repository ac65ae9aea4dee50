#include "ui/MainTexts.h"

#include <array>

#include "jobs/FailureReason.h"

namespace ui {

namespace {

using enum TTextTarget;
using T = TMainTexts;

const std::array kRows{
    TTextRow{"CUI_TMainForm_btnHelp", "Help", Text, "btnHelp"},
    TTextRow{"CUI_TMainForm_Label2", "Directory 1", FittedText, "Label2"},
    TTextRow{"CUI_TMainForm_Label4", "Directory 2", FittedText, "Label4"},
    TTextRow{"CUI_TMainForm_Label6", "Directory 3", FittedText, "Label6"},
    TTextRow{"CUI_TMainForm_cbxSub", "Includes subdirectories", Text, "cbxSub cbxSub2 cbxSub3"},
    TTextRow{"CUI_TMainForm_btnAdd", "Add files", ToolTip, "btnAdd"},
    TTextRow{"CUI_TMainForm_btnDelete", "Remove selected", ToolTip, "btnDelete"},
    TTextRow{"CUI_TMainForm_btnClear", "Remove all", ToolTip, "btnClear"},
    TTextRow{"CUI_TMainForm_btnRefresh", "Refresh", ToolTip, "btnRefresh"},
    TTextRow{"CUI_TMainForm_btnFiles", "Files", Text, "btnFiles"},
    TTextRow{"CUI_TMainForm_btnDirectory", "Directories", Text, "btnDirectory"},
    TTextRow{"CUI_TMainForm_Label3", "Target", FittedText, "Label3"},
    TTextRow{"CUI_TMainForm_lblKey", "* You need the same encryption key to decrypt files, don't forget it.",
             FittedText, "lblKey"},
    TTextRow{"CUI_TMainForm_Label1", "Summary", FittedText, "Label1"},
    TTextRow{"CUI_TMainForm_btnEncrypt", "Encrypt / Decrypt", Text, "btnEncrypt", 0, &T::EncryptDecrypt},
    TTextRow{"CUI_TMainForm_cbFileTypeitem0", "Both", Item, "cbFileType", 0},
    TTextRow{"CUI_TMainForm_cbFileTypeitem1", "Only process encrypted files", Item, "cbFileType", 1},
    TTextRow{"CUI_TMainForm_cbFileTypeitem2", "Only process unencrypted files", Item, "cbFileType", 2},
    TTextRow{"CUI_TMainForm_cbxKey", "Encryption Key (case sensitive)", FittedText, "cbxKey"},
    TTextRow{"CUI_TMainForm_lblFailed", "Failed: ", FittedText, "lblFailed", 0, &T::Failed},
    TTextRow{"CUI_TMainForm_lblDecrypted", "Decrypted: ", FittedText, "lblDecrypted", 0, &T::Decrypted},
    TTextRow{"CUI_TMainForm_lblEncrypted", "Encrypted: ", FittedText, "lblEncrypted", 0, &T::Encrypted},
    TTextRow{"CUI_TMainForm_lblSize", "Processed file size: ", FittedText, "lblSize", 0, &T::Size},
    TTextRow{"CUI_TMainForm_lblTime", "Time escaped: ", FittedText, "lblTime", 0, &T::Time},
    TTextRow{"CUI_TMainForm_lblDetail1", "(details)", FittedText, "lblDetail1 lblDetail2 lblDetail3"},
    TTextRow{"CUI_TMainForm_pmiHome", "Homepage", Text, "pmiHome"},
    TTextRow{"CUI_TMainForm_pmiHelp", "Help", Text, "pmiHelp"},
    TTextRow{"CUI_TMainForm_pmiLanguage", "Languages", Text, "pmiLanguage"},
    TTextRow{"CUI_TMainForm_pmiLog", "Locate Log File", Text, "pmiLog"},
    TTextRow{"CUI_TMainForm_pmiOption", "Options...", Text, "pmiOption"},
    TTextRow{"CUI_TMainForm_pmiOpen", "Open", Text, "pmiOpen"},
    TTextRow{"CUI_TMainForm_pmiLocate", "Open file location", Text, "pmiLocate"},
    TTextRow{"CUI_TMainForm_lvFilesColumn", "File", Column, "lvFiles"},
    TTextRow{"CUI_TMainForm_btnPath", "Select", ToolTip, "btnPath btnPath2 btnPath3"},
    TTextRow{"CUI_TMainForm_btnLocate", "Locate", ToolTip, "btnLocate btnLocate2 btnLocate3"},
    // What a screen reader calls the controls that show no text of their own.
    TTextRow{"CUI_TMainForm_lvFiles_Name", "Files to process", Name, "lvFiles"},
    TTextRow{"CUI_TMainForm_ProgressBar1_Name", "Progress", Name, "ProgressBar1"},
    TTextRow{"CUI_TMainForm_edtKey_Name", "Encryption key", Name, "edtKey"},
    TTextRow{"RUI_TMainForm_DragFile", "Drag and drop your files here", None, "", 0, &T::DragFile},
    TTextRow{"RUI_TMainForm_SelectDir", "Select a directory", None, "", 0, &T::SelectDir},
    TTextRow{"RUI_TMainForm_Decrypt", "Decrypt", None, "", 0, &T::Decrypt},
    TTextRow{"RUI_TMainForm_Encrypt", "Encrypt", None, "", 0, &T::Encrypt},
    TTextRow{"RUI_TMainForm_Canceled", "Canceled!", None, "", 0, &T::Canceled},
    TTextRow{"RUI_TMainForm_Finished", "Finished!", None, "", 0, &T::Finished},
    // %d is the number of failed entries; worded so that it reads for one as for many.
    TTextRow{"RUI_TMainForm_FinishedFailed", "Finished, but %d of the files failed.", None, "", 0,
             &T::FinishedFailed},
    TTextRow{"RUI_TMainForm_FileFilter", "All Video Files|%s|All Files(*.*)|*.*", None, "", 0,
             &T::FileFilter},
    TTextRow{"RUI_TMainForm_StopNow", "Stop encryption/decryption now?", None, "", 0, &T::StopNow},
    // The run button's caption while a job runs is the dialogs' Cancel.
    TTextRow{"CUI_TRiskWarnForm_btnCancelMe", "Cancel", None, "", 0, &T::Cancel},
    TTextRow{"RUI_TMainForm_Byte", "bytes", None, "", 0, &T::Byte},
    TTextRow{"RUI_TMainForm_Second", "s", None, "", 0, &T::Second},
    TTextRow{"RUI_TMainForm_AddFile", "Add your video files first.", None, "", 0, &T::AddFile},
    TTextRow{"RUI_TMainForm_AddDir", "Enter a directory first.", None, "", 0, &T::AddDir},
    // Followed by the names a later start was given, each on a line.
    TTextRow{"RUI_TMainForm_NotAdded", "Not added: a file name cannot hold a zero byte.", None, "", 0,
             &T::NotAdded},
    TTextRow{"RUI_TMainForm_Searching", "Searching… %d videos found", None, "", 0, &T::Searching},
    TTextRow{"RUI_TMainForm_FailedRead", "failed to read or write", None, "", 0, &T::FailedRead},
    TTextRow{"RUI_TMainForm_IncorrectKey", "encryption key incorrect", None, "", 0, &T::IncorrectKey},
    TTextRow{"RUI_TMainForm_SmallFile", "file too small", None, "", 0, &T::SmallFile},
    TTextRow{"RUI_TMainForm_UnknownErr", "unknown error", None, "", 0, &T::UnknownErr},
    TTextRow{"RUI_TMainForm_Recovered",
             "These videos were left half-changed by an interrupted run and have been restored to how they "
             "were before it:",
             None, "", 0, &T::Recovered},
    TTextRow{"RUI_TMainForm_NotRecovered",
             "These videos were left half-changed by an interrupted run and could not be restored yet. They "
             "are left as they are; every start tries again, and no run changes them until then:",
             None, "", 0, &T::NotRecovered},
    // Why a row's file failed in the last run, in its tool tip; a failure of the system gives its own
    // words instead.
    TTextRow{"RUI_TMainForm_RowWrongKey", "Scrambled with another key", None, "", 0, &T::RowWrongKey},
    TTextRow{"RUI_TMainForm_RowTooSmall", "Too small to scramble (under 512 KiB)", None, "", 0,
             &T::RowTooSmall},
    TTextRow{"RUI_TMainForm_RowInUse", "In use by another program", None, "", 0, &T::RowInUse},
    // The end message's second line when every failure has the same cause.
    TTextRow{"RUI_TMainForm_AllWrongKey", "Every one of them was scrambled with another key.", None, "", 0,
             &T::AllWrongKey},
    TTextRow{"RUI_TMainForm_AllTooSmall", "Every one of them is too small to scramble (under 512 KiB).", None,
             "", 0, &T::AllTooSmall},
    TTextRow{"RUI_TMainForm_AllInUse", "Every one of them is in use by another program.", None, "", 0,
             &T::AllInUse},
    TTextRow{"RUI_TMainForm_AllSame", "Every one of them failed for the same reason: %s", None, "", 0,
             &T::AllSame},
    // What the user is told when the window closes on a run: first line, then the counts, the file in
    // hand and where the lists are.
    TTextRow{"RUI_TMainForm_StoppedOnClose", "The run was stopped before the window closed.", None, "", 0,
             &T::StoppedOnClose},
    TTextRow{"RUI_TMainForm_EndedOnClose", "The run ended while the window was closing.", None, "", 0,
             &T::EndedOnClose},
    TTextRow{"RUI_TMainForm_InHandFinished", "The file in hand was finished: %s", None, "", 0,
             &T::InHandFinished},
    TTextRow{"RUI_TMainForm_InHandPutBack", "The file in hand was put back as it was: %s", None, "", 0,
             &T::InHandPutBack},
    TTextRow{"RUI_TMainForm_FailedListAt", "The failed files are listed in %s", None, "", 0,
             &T::FailedListAt},
    TTextRow{"RUI_TMainForm_LogIsAt", "Every file that failed is also in the log: %s", None, "", 0,
             &T::LogIsAt},
    // "(details)" could not show a list: where it is.
    TTextRow{"RUI_TMainForm_ListIsAt", "No program opened the list. It is here: %s", None, "", 0,
             &T::ListIsAt},
    TTextRow{"RUI_TMainForm_HideKey", "Hide the key", None, "", 0, &T::HideKey},
    TTextRow{"RUI_TMainForm_ShowKey", "Show the key", None, "", 0, &T::ShowKey},
};

}  // namespace

TMainTexts::TMainTexts() {
    for (const TTextRow& row : kRows)
        if (row.RunTime != nullptr) this->*row.RunTime = EnglishText(row);
}

engine::TJobTexts TMainTexts::JobTexts(bool chinese) const {
    engine::TJobTexts texts;
    texts.Byte = Byte;
    texts.Second = Second;
    texts.FailedRead = FailedRead;
    texts.IncorrectKey = IncorrectKey;
    texts.SmallFile = SmallFile;
    texts.UnknownErr = UnknownErr;
    texts.ChineseDurations = chinese;
    return texts;
}

jobs::TFailureWords TMainTexts::FailureWords() const {
    return {RowWrongKey, RowTooSmall, RowInUse, FailedRead};
}

QString TMainTexts::FailureReason(const engine::TFailedFile& failed) const {
    return jobs::FailureReason(failed, FailureWords());
}

QString TMainTexts::CommonCause(const std::vector<engine::TFailedFile>& failed) const {
    const QString shared = jobs::SharedFailureReason(failed, FailureWords());
    if (shared.isEmpty()) return {};
    if (shared == RowWrongKey) return AllWrongKey;
    if (shared == RowTooSmall) return AllTooSmall;
    if (shared == RowInUse) return AllInUse;
    return QString(AllSame).replace(QStringLiteral("%s"), shared);
}

std::span<const TTextRow> MainFormTexts() {
    return kRows;
}

}  // namespace ui
