#include <gtest/gtest.h>

#include "engine/JobFormat.h"

using namespace engine;

namespace {
const QLocale c = QLocale::c();
const TJobTexts english;
}  // namespace

TEST(JobFormat, Elapsed) {
    EXPECT_EQ(FormatElapsed(4'213, english, c), QStringLiteral("4.2s"));
    EXPECT_EQ(FormatElapsed(0, english, c), QStringLiteral("0.0s"));
    EXPECT_EQ(FormatElapsed(59'999, english, c), QStringLiteral("60.0s")) << "rounded, still below a minute";
    EXPECT_EQ(FormatElapsed(60'000, english, c), QStringLiteral("1m 00s"));
    EXPECT_EQ(FormatElapsed(4'294'967'295u, english, c), QStringLiteral("1193h 02m 47s"));

    TJobTexts chinese;
    chinese.Second = QStringLiteral("秒");
    chinese.ChineseDurations = true;
    EXPECT_EQ(FormatElapsed(1'500, chinese, c), QStringLiteral("1.5秒"));
    EXPECT_EQ(FormatElapsed(125'999, chinese, c), QStringLiteral("2分5秒"));
    EXPECT_EQ(FormatElapsed(3'723'000, chinese, c), QStringLiteral("1小时2分3秒"));
    EXPECT_EQ(FormatSecondsChinese(3600), QStringLiteral("1小时0分0秒"));

    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatElapsed(4'213, english, german), QStringLiteral("4,2s"))
        << "the user's decimal separator";
}

TEST(JobFormat, ByteSizeAtEachUnitBoundary) {
    EXPECT_EQ(FormatByteSize(0, english, c), QStringLiteral("0 bytes"));
    EXPECT_EQ(FormatByteSize(1023, english, c), QStringLiteral("1023 bytes"));
    EXPECT_EQ(FormatByteSize(1024, english, c), QStringLiteral("1.0 KB"));
    EXPECT_EQ(FormatByteSize(1536, english, c), QStringLiteral("1.5 KB"));
    EXPECT_EQ(FormatByteSize(1'048'575, english, c), QStringLiteral("1024.0 KB"));
    EXPECT_EQ(FormatByteSize(5'000'000, english, c), QStringLiteral("4.8 MB"));
    EXPECT_EQ(FormatByteSize(1'073'741'824, english, c), QStringLiteral("1.00 GB"));
    EXPECT_EQ(FormatByteSize(1'099'511'627'775, english, c), QStringLiteral("1024.00 GB"));
    EXPECT_EQ(FormatByteSize(1'099'511'627'776LL * 3 / 2, english, c), QStringLiteral("1.50 TB"));
    EXPECT_EQ(
        FormatByteSize(1'099'511'627'776LL * 5000, english, QLocale(QLocale::English, QLocale::UnitedStates)),
        QStringLiteral("5000.00 TB"))
        << "no group separators";
    TJobTexts german;
    german.Byte = QStringLiteral("Byte");
    EXPECT_EQ(FormatByteSize(512, german, c), QStringLiteral("512 Byte"));
}

TEST(JobFormat, Megabytes) {
    EXPECT_EQ(FormatMegabytes(0, c), QStringLiteral("0 MB"));
    EXPECT_EQ(FormatMegabytes(4, c), QStringLiteral("4 MB"));
    EXPECT_EQ(FormatMegabytes(1023, c), QStringLiteral("1023 MB"));
    EXPECT_EQ(FormatMegabytes(1536, c), QStringLiteral("1.50 GB"));
    EXPECT_EQ(FormatMegabytes(1'048'575, c), QStringLiteral("1024.00 GB"));
    EXPECT_EQ(FormatMegabytes(1'048'576, c), QStringLiteral("1.00 TB"));
}

TEST(JobFormat, FailedLines) {
    EXPECT_EQ(FailedLine(QStringLiteral("/clips/a.mp4"), 2, english),
              QStringLiteral("\"/clips/a.mp4\" ErrCode: 2; encryption key incorrect"));
    EXPECT_EQ(FailedCodePart(1, english), QStringLiteral("ErrCode: 1; failed to read or write"));
    // The system's reason follows the code's text; the start of the line stays as it always was.
    EXPECT_EQ(
        FailedLine(QStringLiteral("/clips/b.mp4"), 1, english, QStringLiteral("No such file or directory")),
        QStringLiteral("\"/clips/b.mp4\" ErrCode: 1; failed to read or write (No such file or directory)"));
    EXPECT_EQ(FailedCodePart(3, english), QStringLiteral("ErrCode: 3; file too small"));
    EXPECT_EQ(FailedCodePart(7, english), QStringLiteral("ErrCode: 7; unknown error"));
    TJobTexts odd;
    odd.UnknownErr = QStringLiteral("%1 %d 50%");
    EXPECT_EQ(FailedCodePart(9, odd), QStringLiteral("ErrCode: 9; %1 %d 50%"))
        << "a translation is never a format";
}
