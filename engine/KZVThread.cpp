#include "engine/KZVThread.h"

#include <QStringList>

#include <optional>

#include "engine/Journal.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/Utility.h"

namespace engine {

TKZVThread::TKZVThread(platform::FileSystem& fileSystem) : fileSystem_(fileSystem) {}

// The worker uses the lists and the journal: it must be gone before they are.
TKZVThread::~TKZVThread() {
    DestroyThread();
}

void TKZVThread::UseJournal(std::unique_ptr<TJournal> journal) {
    journal_ = std::move(journal);
}

void TKZVThread::PostNotify(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (!Quiet) platform::CheckPostMessage(Params.NotifyWnd, msg, wParam, lParam);
}

void TKZVThread::SafeExecute() {
    Ticks = platform::GetTickCount();
    // Params are complete only now, at the resume; one transform then serves every file.
    TFileTransform transform(Params, KeepFileTime, fileSystem_);
    std::vector<std::string> restored;
    std::vector<std::string> problems;
    if (!journal_ && !JournalFolder.empty()) {
        try {
            // What an earlier job of this process, or a process that died since the start, left
            // unfinished is settled first; what cannot be applied by its path waits for its video.
            TRecoveryReport report = RecoverJournals(JournalFolder, fileSystem_);
            restored = std::move(report.Restored);
            problems = std::move(report.Problems);
            for (const auto& problem : problems)
                platform::MsgOut(QStringLiteral("Recovery: ") + platform::FromLocal8Bit(problem));
            journal_ = TJournal::Create(JournalFolder, fileSystem_);
            journal_->AdoptPending(std::move(report.Pending));
        } catch (const std::exception& error) {
            platform::MsgOut(QStringLiteral("The recovery journal cannot be opened, no file is changed: ") +
                             QString::fromLocal8Bit(error.what()));
            transform.JournalUnavailable(JournalFolder, error.what());
        }
    }
    if (journal_) transform.UseJournal(std::move(journal_));

    for (const auto& folder : UnreadFolders)
        platform::MsgOut(QStringLiteral("Failed: ") + platform::FromLocal8Bit(folder.Path) +
                         QStringLiteral(": ") + platform::FromLocal8Bit(folder.Reason));
    FailedList = UnreadFolders;

    const std::size_t count = FileList.size();
    transform.ProcessFiles(
        FileList, Params.Key, [this] { return Terminated(); },
        [&](std::size_t i, const TFileOutcome& outcome) {
            const std::string& path = FileList[i];
            if (!outcome.Result) {
                platform::MsgOut(QStringLiteral("Failed: ") + QString::fromLocal8Bit(outcome.Error));
                FailedList.push_back({path, kErrorIo});
            } else {
                switch (outcome.Result->Outcome) {
                    case TProcessOutcome::Encrypted:
                        EncryptedList.push_back(path);
                        TotalBytes += outcome.Result->SizeAfter;
                        break;
                    case TProcessOutcome::Decrypted:
                        DecryptedList.push_back(path);
                        TotalBytes += outcome.Result->SizeAfter;
                        break;
                    case TProcessOutcome::WrongKey:
                        FailedList.push_back({path, kErrorWrongKey});
                        break;
                    case TProcessOutcome::TooSmall:
                        FailedList.push_back({path, kErrorTooSmall});
                        break;
                    case TProcessOutcome::Skipped:
                        break;
                }
            }
            PostNotify(WM_JOB_PROGRESS, i, static_cast<std::intptr_t>(count));
            PostNotify(WM_JOB_COUNTS, EncryptedList.size(), static_cast<std::intptr_t>(DecryptedList.size()));
            // Whole MiB, so that the size fits one 32-bit parameter.
            PostNotify(WM_JOB_FAILEDSIZE, FailedList.size(),
                       static_cast<std::intptr_t>(static_cast<std::uint32_t>(TotalBytes / 1'048'576)));
        });
    transform.FinishJournal();

    // Told once, at the end: the window shows it as a message, velmora-cli on standard error.
    QStringList notice;
    for (const auto& path : restored)
        notice << QStringLiteral("Restored as it was before an interrupted run: ") +
                      platform::FromLocal8Bit(path);
    for (const auto& problem : problems)
        notice << QStringLiteral("Not restored yet: ") + platform::FromLocal8Bit(problem);
    for (const auto& text : transform.Notices()) {
        platform::MsgOut(platform::FromLocal8Bit(text));
        notice << platform::FromLocal8Bit(text);
    }
    if (!notice.isEmpty()) {
        Notice = notice.join(QLatin1Char('\n'));
        PostNotify(WM_JOB_ERROR, reinterpret_cast<std::uintptr_t>(Notice.utf16()), 0);
    }
    finish();
}

void TKZVThread::finish() {
    Ticks = platform::GetTickCount() - Ticks;  // unsigned: a wrap of the counter still gives the duration
    finished_ = true;
    PostNotify(WM_JOB_FINISHED, Terminated() ? 1 : 0, 0);
}

void TKZVThread::DoThreadError(const QString& text) {
    TSafeThread::DoThreadError(text);
    ErrorText = text;
    // The text stays in the object, which outlives the window's handling of the message.
    PostNotify(WM_JOB_ERROR, reinterpret_cast<std::uintptr_t>(ErrorText.utf16()), 0);
    // The window leaves its running state only on WM_JOB_FINISHED; without it, it would show "Cancel"
    // for a job that is gone. The lists hold what was done before the error.
    if (!finished_) finish();
}

void TKZVThread::SafeDestroy() {
    FileList = {};
    UnreadFolders = {};
    EncryptedList = {};
    DecryptedList = {};
    FailedList = {};
    TSafeThread::SafeDestroy();
}

}  // namespace engine
