#pragma once
// How a job's results read to a user: sizes, durations and the lines of the failed-files list. Shared by
// the main window and velmora-cli; the texts of the current language are handed in, and the English
// defaults are what the command line always uses, so that scripts can rely on them.

#include <QLocale>
#include <QString>

#include <cstdint>

namespace engine {

// The run-time texts these rules use, with their English defaults.
struct TJobTexts {
    QString Byte = QStringLiteral("bytes");                             // size unit below 1 KiB
    QString Second = QStringLiteral("s");                               // seconds unit below one minute
    QString FailedRead = QStringLiteral("failed to read or write");     // code 1
    QString IncorrectKey = QStringLiteral("encryption key incorrect");  // code 2
    QString SmallFile = QStringLiteral("file too small");               // code 3
    QString UnknownErr = QStringLiteral("unknown error");               // any other code
    bool ChineseDurations = false;  // the current language is Chinese: its own form from one minute on
};

// Numbers are written with `locale`'s decimal separator and no grouping; the window passes the user's
// locale, velmora-cli QLocale::c().

// Below one minute "4.2s" (one decimal, rounded); from one minute on FormatSecondsChinese or FormatSecond.
QString FormatElapsed(std::uint32_t ms, const TJobTexts& texts, const QLocale& locale = QLocale());

// An exact byte total in units of 1024: "512 bytes", "1.5 KB", "4.8 MB", "1.25 GB", "2.00 TB".
QString FormatByteSize(std::int64_t bytes, const TJobTexts& texts, const QLocale& locale = QLocale());

// Whole MiB as the running job reports them: "4 MB", "1.50 GB", "1.00 TB".
QString FormatMegabytes(std::int32_t mib, const QLocale& locale = QLocale());

// "1小时2分3秒", or "2分3秒" below an hour.
QString FormatSecondsChinese(std::int32_t seconds);

// "ErrCode: 2; encryption key incorrect".
QString FailedCodePart(int code, const TJobTexts& texts);
// A line of the failed-files list: the path in double quotes, one blank, the code part, and the reason
// in brackets when there is one.
QString FailedLine(const QString& path, int code, const TJobTexts& texts, const QString& reason = {});

}  // namespace engine
