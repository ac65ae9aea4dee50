// The line a notification gives the outcome of a run, and the names under it.
#include <gtest/gtest.h>

#include <memory>

#include "cli/RunNotices.h"
#include "engine/FileTransform.h"
#include "lang/Language.h"
#include "platform/FileIo.h"

namespace {

using engine::TFailedFile;

const TFailedFile kInUse{"/v/busy.mkv", engine::kErrorIo, platform::kFileInUseText};
const TFailedFile kOtherKey{"/v/keyed.mp4", engine::kErrorWrongKey};
const TFailedFile kDenied{"/v/ro.avi", engine::kErrorIo, "Permission denied"};

TEST(RunNotices, TheOutcomeLineCountsEachKindOfResultAndNamesASharedCause) {
    const struct {
        cli::TRunOutcome outcome;
        const char* summary;
        const char* details;
    } cases[] = {
        {{3, 0, {}, false, {}}, "3 videos scrambled", ""},
        {{0, 1, {}, false, {}}, "1 video restored", ""},
        {{0, 0, {}, false, {}}, "No videos found", ""},
        {{0, 2, {kInUse}, false, {}}, "2 restored, 1 failed: in use by another program", "busy.mkv"},
        {{2, 1, {}, true, {}}, "Stopped: 2 scrambled, 1 restored", ""},
        {{0, 0, {kOtherKey, kDenied}, false, {}},
         "2 videos failed",
         "keyed.mp4: scrambled with another key\nro.avi: Permission denied"},
        {{0, 0, {kDenied, kDenied}, false, {}}, "2 videos failed: Permission denied", "ro.avi\nro.avi"},
        {{1, 0, std::vector<TFailedFile>(7, kInUse), false, {}},
         "1 scrambled, 7 failed: in use by another program",
         "busy.mkv\nbusy.mkv\nbusy.mkv\nbusy.mkv\nbusy.mkv\n…"},
        {{0, 0, {}, false, QStringLiteral("The journal folder cannot be written")},
         "The journal folder cannot be written",
         "No videos found"},
    };
    const cli::TNoticeTexts english;
    for (const auto& c : cases) {
        EXPECT_EQ(cli::OutcomeSummary(c.outcome, english), QString::fromUtf8(c.summary));
        EXPECT_EQ(cli::OutcomeDetails(c.outcome, english), QString::fromUtf8(c.details)) << c.summary;
    }
}

TEST(RunNotices, TheLineSpeaksTheWindowsLanguage) {
    lang::Language = std::make_unique<lang::TLanguage>(QStringLiteral(VELMORA_LANGUAGES_DIR));
    ASSERT_TRUE(lang::Language->LoadLanguageFile("German"));
    const cli::TNoticeTexts german = cli::TNoticeTexts::FromLanguage();
    lang::Language.reset();
    EXPECT_EQ(cli::OutcomeSummary({0, 2, {kInUse}, false, {}}, german),
              QStringLiteral("2 wiederhergestellt, 1 fehlgeschlagen: von einem anderen Programm geöffnet"));
    EXPECT_EQ(cli::OutcomeSummary({1, 0, {}, false, {}}, german), QStringLiteral("1 Video verschlüsselt"));
}

}  // namespace
