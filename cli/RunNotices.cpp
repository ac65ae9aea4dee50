#include "cli/RunNotices.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <filesystem>

#include "jobs/JobController.h"
#include "lang/Language.h"
#include "platform/Log.h"
#include "platform/Utility.h"
#include "settings/AppFolders.h"

namespace cli {

namespace {

constexpr std::size_t kMostNamed = 5;  // failed files named in the notification
const QString kStopAction = QStringLiteral("stop");
const QString kShowFailedAction = QStringLiteral("show-failed");
// The icon's and the desktop entry's name.
const QString kAppId = QStringLiteral("com.brindlework.velmora");

QString Counted(std::size_t count, const QString& one, const QString& many) {
    return count == 1 ? one : QString(many).replace(QStringLiteral("%1"), QString::number(count));
}

QString FileName(const std::string& path) {
    return platform::FromLocal8Bit(std::filesystem::path(path).filename().string());
}

// The language files' keys of the texts.
constexpr std::pair<const char*, QString TNoticeTexts::*> kKeys[] = {
    {"RUI_Notice_VideoScrambled", &TNoticeTexts::VideoScrambled},
    {"RUI_Notice_VideosScrambled", &TNoticeTexts::VideosScrambled},
    {"RUI_Notice_VideoRestored", &TNoticeTexts::VideoRestored},
    {"RUI_Notice_VideosRestored", &TNoticeTexts::VideosRestored},
    {"RUI_Notice_VideoFailed", &TNoticeTexts::VideoFailed},
    {"RUI_Notice_VideosFailed", &TNoticeTexts::VideosFailed},
    {"RUI_Notice_Scrambled", &TNoticeTexts::Scrambled},
    {"RUI_Notice_Restored", &TNoticeTexts::Restored},
    {"RUI_Notice_Failed", &TNoticeTexts::Failed},
    {"RUI_Notice_Joined", &TNoticeTexts::Joined},
    {"RUI_Notice_Because", &TNoticeTexts::Because},
    {"RUI_Notice_NoVideos", &TNoticeTexts::NoVideos},
    {"RUI_Notice_Stopped", &TNoticeTexts::Stopped},
    {"RUI_Notice_Working", &TNoticeTexts::Working},
    {"RUI_Notice_Stop", &TNoticeTexts::Stop},
    {"RUI_Notice_ShowFailed", &TNoticeTexts::ShowFailed},
    {"RUI_Notice_OtherKey", &TNoticeTexts::OtherKey},
    {"RUI_Notice_TooSmall", &TNoticeTexts::TooSmall},
    {"RUI_Notice_InUse", &TNoticeTexts::InUse},
    {"RUI_Notice_Unknown", &TNoticeTexts::Unknown},
};

}  // namespace

TNoticeTexts TNoticeTexts::FromLanguage() {
    TNoticeTexts texts;
    for (const auto& [key, text] : kKeys)
        if (const QString found = lang::LangText(QLatin1String(key)); !found.isEmpty()) texts.*text = found;
    return texts;
}

std::vector<std::pair<QString, QString>> NoticeTextKeys() {
    const TNoticeTexts english;
    std::vector<std::pair<QString, QString>> keys;
    for (const auto& [key, text] : kKeys) keys.emplace_back(QLatin1String(key), english.*text);
    return keys;
}

QString OutcomeSummary(const TRunOutcome& outcome, const TNoticeTexts& texts) {
    const std::size_t failed = outcome.Failed.size();
    const int kinds = int(outcome.Scrambled > 0) + int(outcome.Restored > 0) + int(failed > 0);
    QString line;
    if (kinds == 0) {
        line = texts.NoVideos;
    } else if (kinds == 1) {  // one kind of result names its videos
        line = outcome.Scrambled > 0 ? Counted(outcome.Scrambled, texts.VideoScrambled, texts.VideosScrambled)
               : outcome.Restored > 0 ? Counted(outcome.Restored, texts.VideoRestored, texts.VideosRestored)
                                      : Counted(failed, texts.VideoFailed, texts.VideosFailed);
    } else {
        QStringList parts;
        if (outcome.Scrambled > 0) parts << texts.Scrambled.arg(outcome.Scrambled);
        if (outcome.Restored > 0) parts << texts.Restored.arg(outcome.Restored);
        if (failed > 0) parts << texts.Failed.arg(failed);
        line = parts.front();
        for (qsizetype i = 1; i < parts.size(); ++i) line = texts.Joined.arg(line, parts[i]);
    }
    if (const QString shared = jobs::SharedFailureReason(outcome.Failed, texts.Causes()); !shared.isEmpty())
        line = texts.Because.arg(line, shared);
    if (outcome.Stopped) line = texts.Stopped.arg(line);
    return outcome.Error.isEmpty() ? line : outcome.Error;
}

QString OutcomeDetails(const TRunOutcome& outcome, const TNoticeTexts& texts) {
    QStringList lines;
    if (!outcome.Error.isEmpty()) {
        TRunOutcome counts = outcome;
        counts.Error.clear();
        lines << OutcomeSummary(counts, texts);
    }
    const bool shared = !jobs::SharedFailureReason(outcome.Failed, texts.Causes()).isEmpty();
    for (std::size_t i = 0; i < outcome.Failed.size(); ++i) {
        if (i == kMostNamed) {
            lines << QStringLiteral("…");
            break;
        }
        const engine::TFailedFile& failed = outcome.Failed[i];
        const QString name = FileName(failed.Path);
        lines << (shared ? name : texts.Because.arg(name, jobs::FailureReason(failed, texts.Causes())));
    }
    return lines.join(QLatin1Char('\n'));
}

TRunNotices::TRunNotices(jobs::TJobController& controller, std::vector<std::string> files,
                         QString windowProgram)
    : controller_(controller),
      files_(std::move(files)),
      windowProgram_(std::move(windowProgram)),
      texts_(TNoticeTexts::FromLanguage()),
      notifier_(settings::DisplayName(), kAppId, kAppId) {
    notifier_.Ask();  // the run starts at once; the server's answer is taken when it comes
    connect(&controller_, &jobs::TJobController::ProgressChanged, this, &TRunNotices::showRunning);
    connect(&notifier_, &platform::TDesktopNotifier::ActionInvoked, this, [this](const QString& key) {
        if (key == kStopAction && controller_.Running()) {
            stoppedByUser_ = true;
            controller_.Stop();
        } else if (key == kShowFailedAction && !failedPaths_.empty()) {
            QStringList arguments{QStringLiteral("--")};
            for (const std::string& path : failedPaths_) arguments << platform::FromLocal8Bit(path);
            if (!QProcess::startDetached(windowProgram_, arguments))
                platform::MsgOut(QStringLiteral("The window could not be started: ") + windowProgram_);
            emit Answered();
        }
    });
    connect(&notifier_, &platform::TDesktopNotifier::Closed, this, [this] {
        if (controller_.Running())
            runningDismissed_ = true;
        else
            emit Answered();
    });
}

void TRunNotices::showRunning() {
    const jobs::TJobProgressState& state = controller_.Progress();
    const std::uint32_t now = controller_.Elapsed();
    if (runningDismissed_ || state.Ended || state.Count == 0 || now < kShowRunningAfterMs) return;
    if (notifier_.Shown() && now - lastUpdate_ < kUpdateEveryMs) return;
    lastUpdate_ = now;
    const std::size_t inHand = jobs::FileInHand(state);
    const jobs::TBarPosition bar = jobs::BarPosition(state);
    platform::TNotification notice;
    notice.Summary = texts_.Working.arg(std::min(inHand + 1, state.Count)).arg(state.Count);
    if (inHand < files_.size()) notice.Body = FileName(files_[inHand]);
    notice.Actions = {{kStopAction, texts_.Stop}};
    notice.Percent = int(bar.Value * 100 / std::max<std::int64_t>(bar.Maximum, 1));
    notice.TimeoutMs = 0;  // it stays until the outcome replaces it
    notifier_.Update(notice);
}

bool TRunNotices::Tell(const TRunOutcome& outcome) {
    const QString summary = OutcomeSummary(outcome, texts_);
    const QString details = OutcomeDetails(outcome, texts_);
    platform::MsgOut(QStringLiteral("Outcome: ") + summary);
    failedPaths_.clear();
    for (const engine::TFailedFile& failed : outcome.Failed) failedPaths_.push_back(failed.Path);

    platform::TNotification notice;
    notice.Summary = summary;
    notice.Body = details;
    if (!failedPaths_.empty()) {
        notice.Actions = {{kShowFailedAction, texts_.ShowFailed}};
        notice.TimeoutMs = kAnswerWaitMs;  // on screen, where the server allows, as long as the button works
    }
    if (notifier_.Show(notice)) return !notice.Actions.empty() && notifier_.Offers(QStringLiteral("actions"));

    const QString problem = notifier_.Problem();
    platform::MsgOut(QStringLiteral("No desktop notification: ") + problem);
    std::string text = "velmora-cli: " + platform::ToLocal8Bit(summary) + "\n";
    if (!details.isEmpty()) text += platform::ToLocal8Bit(details) + "\n";
    text += "velmora-cli: not shown as a notification: " + platform::ToLocal8Bit(problem) + "\n";
    std::fputs(text.c_str(), stderr);
    return false;
}

void TRunNotices::WaitForAnswer(int timeoutMs) {
    QEventLoop loop;
    connect(this, &TRunNotices::Answered, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace cli
