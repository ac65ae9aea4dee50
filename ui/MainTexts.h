#pragma once
// The main window's texts: the table of its language keys, and the run-time texts that it reads at the
// moment a text is needed (English until a language replaces them).

#include <QString>

#include <span>
#include <vector>

#include "engine/JobFormat.h"
#include "engine/KZVThread.h"
#include "jobs/FailureReason.h"
#include "ui/WindowTexts.h"

namespace ui {

struct TMainTexts {
    // Every run-time text in English.
    TMainTexts();

    QString DragFile;
    QString SelectDir;
    QString EncryptDecrypt;  // run button, target "Both"
    QString Decrypt;         // run button, only encrypted files
    QString Encrypt;         // run button, only unencrypted files
    QString Encrypted;       // summary prefixes
    QString Decrypted;
    QString Failed;
    QString Size;
    QString Time;
    QString Canceled;
    QString NotAdded;
    QString Finished;
    QString FinishedFailed;  // the end of a job in which files failed; %d is how many
    QString FileFilter;
    QString StopNow;
    QString Cancel;  // run button while a job runs
    QString Byte;
    QString Second;
    QString AddFile;
    QString AddDir;
    QString Searching;  // the summary's first line while a job searches its folders; "%d": found so far
    QString FailedRead;
    QString IncorrectKey;
    QString SmallFile;
    QString UnknownErr;
    // The note after start-up has put back files that an interrupted run left half-changed ...
    QString Recovered;
    // ... and the one for those it could not put back yet.
    QString NotRecovered;
    // Why a row's file failed, and the end message's line when all failures share their cause.
    QString RowWrongKey;
    QString RowTooSmall;
    QString RowInUse;
    QString AllWrongKey;
    QString AllTooSmall;
    QString AllInUse;
    QString AllSame;  // "%s": the system's reason
    // The notice when the window closes on a run.
    QString StoppedOnClose;
    QString EndedOnClose;
    QString InHandFinished;  // "%s": the path
    QString InHandPutBack;
    QString FailedListAt;
    QString LogIsAt;
    QString ListIsAt;  // "(details)" found no program to open the list
    // The key field's eye: what a click on it does.
    QString HideKey;
    QString ShowKey;

    // The rules of job results in these texts; `chinese` when the language's identity is "Chinese".
    engine::TJobTexts JobTexts(bool chinese) const;
    jobs::TFailureWords FailureWords() const;
    // Why `failed` failed, as its row's tool tip tells: the cause in these texts, or the system's words.
    QString FailureReason(const engine::TFailedFile& failed) const;
    // The end message's line when every one of `failed` failed for the same cause; empty otherwise.
    QString CommonCause(const std::vector<engine::TFailedFile>& failed) const;
};

// Every text of the main window, in the order a language is applied.
std::span<const TTextRow> MainFormTexts();

}  // namespace ui
