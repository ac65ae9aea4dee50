#pragma once
// What a run started from the file manager (or with --notify) tells the user, who has no terminal to
// read: a desktop notification that shows a long run going on and lets it be stopped, then the outcome
// in a line ("2 restored, 1 failed: in use by another program"), with a button that opens the window on
// the failed files. Without a notification server the outcome goes to standard error and the log.

#include <QObject>
#include <QString>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/KZVThread.h"
#include "jobs/FailureReason.h"
#include "platform/DesktopNotifier.h"

namespace jobs {
class TJobController;
}

namespace cli {

// The notification's words, in the language the window is set to.
struct TNoticeTexts {
    QString VideoScrambled = QStringLiteral("1 video scrambled");
    QString VideosScrambled = QStringLiteral("%1 videos scrambled");
    QString VideoRestored = QStringLiteral("1 video restored");
    QString VideosRestored = QStringLiteral("%1 videos restored");
    QString VideoFailed = QStringLiteral("1 video failed");
    QString VideosFailed = QStringLiteral("%1 videos failed");
    // Where more than one kind of result is counted.
    QString Scrambled = QStringLiteral("%1 scrambled");
    QString Restored = QStringLiteral("%1 restored");
    QString Failed = QStringLiteral("%1 failed");
    QString Joined = QStringLiteral("%1, %2");
    QString Because = QStringLiteral("%1: %2");
    QString NoVideos = QStringLiteral("No videos found");
    QString Stopped = QStringLiteral("Stopped: %1");
    QString Working = QStringLiteral("Scrambling or restoring video %1 of %2");
    QString Stop = QStringLiteral("Stop");
    QString ShowFailed = QStringLiteral("Show the failed videos");
    // Why files failed, to follow "1 failed: ".
    QString OtherKey = QStringLiteral("scrambled with another key");
    QString TooSmall = QStringLiteral("too small to scramble (under 512 KiB)");
    QString InUse = QStringLiteral("in use by another program");
    QString Unknown = QStringLiteral("could not be read or written");

    jobs::TFailureWords Causes() const { return {OtherKey, TooSmall, InUse, Unknown}; }
    // Each text from the loaded language, English where it has none.
    static TNoticeTexts FromLanguage();
};

// Every key the notification looks up in a language file, with its English text.
std::vector<std::pair<QString, QString>> NoticeTextKeys();

struct TRunOutcome {
    std::size_t Scrambled = 0;
    std::size_t Restored = 0;
    std::vector<engine::TFailedFile> Failed;
    bool Stopped = false;
    QString Error;  // the job's own error, which left files untouched: said first
};

// "3 videos scrambled", "2 restored, 1 failed: in use by another program", "Stopped: 1 video restored";
// the job's error instead when it had one.
QString OutcomeSummary(const TRunOutcome& outcome, const TNoticeTexts& texts);
// Under a job's error the counts; then the failed files by name, each with its reason unless they
// share one, the first few only.
QString OutcomeDetails(const TRunOutcome& outcome, const TNoticeTexts& texts);

class TRunNotices : public QObject {
    Q_OBJECT
public:
    // Follows `controller`'s run over `files` (the paths it was given, to name the file in hand).
    // `windowProgram` is started with the failed files when the user asks for them.
    TRunNotices(jobs::TJobController& controller, std::vector<std::string> files, QString windowProgram);

    // Whether the user stopped the run from the notification.
    bool StoppedByUser() const noexcept { return stoppedByUser_; }

    // Tells the outcome; without a notification server, on standard error. Returns whether a
    // notification now offers to open the failed files, which only works while this process runs.
    bool Tell(const TRunOutcome& outcome);
    // Waits until that notification is answered or closed, at most `timeoutMs`, or StopWaiting().
    void WaitForAnswer(int timeoutMs);
    void StopWaiting() { emit Answered(); }

    // How long a run goes before it shows that it runs, and how often that notification changes.
    static constexpr std::uint32_t kShowRunningAfterMs = 1000;
    static constexpr std::uint32_t kUpdateEveryMs = 1000;
    // How long the outcome's button is kept working, and the notification asked to stay. A server that
    // keeps notifications in a tray may show it longer; by then the button does nothing.
    static constexpr int kAnswerWaitMs = 2 * 60 * 1000;

signals:
    void Answered();

private:
    void showRunning();

    jobs::TJobController& controller_;
    std::vector<std::string> files_;
    QString windowProgram_;
    TNoticeTexts texts_;
    platform::TDesktopNotifier notifier_;
    bool connected_ = false;
    bool runningDismissed_ = false;  // the user closed the running notice: it is not shown again
    bool stoppedByUser_ = false;
    std::uint32_t lastUpdate_ = 0;
    std::vector<std::string> failedPaths_;
};

}  // namespace cli
