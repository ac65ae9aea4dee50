#include "engine/KZVThread.h"

#include <QStringList>

#include <optional>
#include <set>

#include "engine/journal/Recover.h"
#include "platform/FileSearch.h"
#include "platform/Log.h"
#include "platform/RecentFiles.h"
#include "platform/Utility.h"

namespace engine {

namespace {

// What made a file fail, without its path: the failed list shows the path beside it already. An error
// about another file (the journal, say) keeps its own path.
std::string reasonOf(const std::string& path, const std::string& error) {
    const std::string prefix = path + ": ";
    return error.starts_with(prefix) ? error.substr(prefix.size()) : error;
}

}  // namespace

TKZVThread::TKZVThread(platform::FileSystem& fileSystem) : fileSystem_(fileSystem) {}

// The worker uses the lists and the journal: it must be gone before they are.
TKZVThread::~TKZVThread() {
    DestroyThread();
}

void TKZVThread::UseJournal(std::unique_ptr<TJournal> journal) {
    journal_ = std::move(journal);
}

void TKZVThread::PostNotify(TJobMessage message) {
    if (!Quiet) PostJobMessage(Params.NotifyWnd, std::move(message));
}

bool TKZVThread::SearchGoesOn(std::size_t found) {
    const std::uint32_t now = platform::GetTickCount();
    if (now - lastSearchNotice_ >= kSearchNoticeMs) {
        lastSearchNotice_ = now;
        PostNotify(TJobSearching{found});
    }
    return !Terminated();
}

void TKZVThread::FileGoesOn(std::size_t index, std::int64_t done, std::int64_t total) {
    const std::uint32_t now = platform::GetTickCount();
    // A file's first notice comes only once it has taken a while, and then at most every
    // kFileNoticeMs: the window needs no more.
    if (fileInHand_ != index) {
        fileInHand_ = index;
        lastFileNotice_ = now;
        return;
    }
    if (now - lastFileNotice_ < kFileNoticeMs) return;
    lastFileNotice_ = now;
    PostNotify(TJobFileProgress{index, FileList.size(), done, total});
}

void TKZVThread::search() {
    lastSearchNotice_ = platform::GetTickCount();
    PostNotify(TJobSearching{FileList.size()});
    std::vector<platform::TSearchProblem> unread;
    for (const auto& folder : SearchFolders) {
        const bool complete =
            platform::SearchFile3(folder.Path, Params.VideoMask, FileList, folder.Subfolders, &unread,
                                  [this](std::size_t found) { return SearchGoesOn(found); });
        if (!complete) break;
    }
    for (auto& folder : unread)
        UnreadFolders.push_back({std::move(folder.Path), kErrorIo, std::move(folder.Reason)});
    PostNotify(TJobSearching{FileList.size()});
}

void TKZVThread::forgetThumbnails(const std::string& path, platform::TThumbnails which,
                                  const QString& cacheFolder) {
    // After the toggle is complete: a picture that stays is worth a log line, never the file's failure.
    for (const QString& problem :
         platform::RemoveThumbnails(platform::FromLocal8Bit(path), which, cacheFolder).Problems)
        platform::MsgOut(QStringLiteral("A thumbnail could not be removed: ") + problem);
}

void TKZVThread::forgetRecentFiles(const std::vector<std::string>& paths, const QString& dataFolder) {
    // The desktop's lists of recent files would go on showing the names and offer to open the videos;
    // like a picture, an entry that stays is worth a log line, never a file's failure. Once for the
    // whole job: a list may be a megabyte, read and rewritten whole.
    QStringList files;
    for (const std::string& path : paths) files << platform::FromLocal8Bit(path);
    for (const QString& problem : platform::RemoveRecentEntries(files, dataFolder).Problems)
        platform::MsgOut(QStringLiteral("A recent-file entry could not be removed: ") + problem);
}

void TKZVThread::SafeExecute() {
    Ticks = platform::GetTickCount();
    // Before anything else: the files are known only once the search is done, and a search that was
    // stopped ends the job with every file as it was.
    if (!SearchFolders.empty()) search();
    // Params are complete only now, at the resume; one transform then serves every file.
    TFileTransform transform(Params, Params.KeepFileTime, fileSystem_);
    std::vector<std::string> restored;
    std::vector<std::string> problems;  // those of recovery that no entry waiting for its video carries
    std::vector<std::string> deferred;  // those of entries waiting for their video: told if still waiting
    if (!journal_ && !Params.JournalFolder.empty()) {
        try {
            // What an earlier job of this process, or a process that died since the start, left
            // unfinished is settled first; what cannot be applied by its path waits for its video.
            TRecoveryReport report = RecoverJournals(Params.JournalFolder, fileSystem_, TDoneEntries::Keep);
            restored = std::move(report.Restored);
            for (const auto& problem : report.Problems)
                platform::MsgOut(QStringLiteral("Recovery: ") + platform::FromLocal8Bit(problem));
            // A kept entry is told at the end, and only if this run did not settle it meanwhile.
            std::set<std::string> pending;
            for (const auto& [inode, entries] : report.Pending)
                for (const auto& entry : entries) pending.insert(entry.Problem);
            for (auto& problem : report.Problems)
                (pending.contains(problem) ? deferred : problems).push_back(std::move(problem));
            journal_ = TJournal::Create(Params.JournalFolder, fileSystem_);
            journal_->AdoptPending(std::move(report.Pending));
        } catch (const std::exception& error) {
            platform::MsgOut(QStringLiteral("The recovery journal cannot be opened, no file is changed: ") +
                             QString::fromLocal8Bit(error.what()));
            transform.JournalUnavailable(Params.JournalFolder, error.what());
            problems.insert(problems.end(), deferred.begin(), deferred.end());
        }
    }
    if (journal_) transform.UseJournal(std::move(journal_));

    for (const auto& folder : UnreadFolders)
        platform::MsgOut(QStringLiteral("Failed: ") + platform::FromLocal8Bit(folder.Path) +
                         QStringLiteral(": ") + platform::FromLocal8Bit(folder.Reason));
    FailedList = UnreadFolders;

    const QString thumbnails = Params.RemoveThumbnails ? platform::ThumbnailCacheFolder() : QString();
    const QString recentFiles = Params.RemoveThumbnails ? platform::RecentFilesDataFolder() : QString();
    const std::size_t count = FileList.size();
    transform.ProcessFiles(
        FileList, Params.Key, [this] { return Terminated(); },
        [&](std::size_t i, const TFileOutcome& outcome) {
            const std::string& path = FileList[i];
            if (!outcome.Result) {
                platform::MsgOut(QStringLiteral("Failed: ") + QString::fromLocal8Bit(outcome.Error));
                FailedList.push_back({path, kErrorIo, reasonOf(path, outcome.Error)});
            } else {
                switch (outcome.Result->Outcome) {
                    case TProcessOutcome::Encrypted:
                        EncryptedList.push_back(path);
                        TotalBytes += outcome.Result->SizeAfter;
                        if (Params.RemoveThumbnails)
                            forgetThumbnails(path, platform::TThumbnails::All, thumbnails);
                        break;
                    case TProcessOutcome::Decrypted:
                        DecryptedList.push_back(path);
                        TotalBytes += outcome.Result->SizeAfter;
                        // A failure note made while the file was scrambled carries the time the file
                        // has again now, and would keep file managers from ever trying again.
                        if (Params.RemoveThumbnails)
                            forgetThumbnails(path, platform::TThumbnails::Failures, thumbnails);
                        break;
                    case TProcessOutcome::WrongKey:
                        platform::MsgOut(QStringLiteral("Failed, scrambled with another key: ") +
                                         platform::FromLocal8Bit(path));
                        FailedList.push_back({path, kErrorWrongKey});
                        break;
                    case TProcessOutcome::TooSmall:
                        platform::MsgOut(QStringLiteral("Failed, smaller than one block: ") +
                                         platform::FromLocal8Bit(path));
                        FailedList.push_back({path, kErrorTooSmall});
                        break;
                    case TProcessOutcome::Stopped:
                        platform::MsgOut(QStringLiteral("Stopped part way, put back as it was: ") +
                                         platform::FromLocal8Bit(path));
                        break;
                    case TProcessOutcome::Skipped:
                        break;
                }
            }
            if (Terminated() && StoppedAt.empty()) {
                StoppedAt = path;
                // Anything but a complete toggle leaves the file as it was: untouched, or put back.
                StoppedPutBack = !outcome.Result || (outcome.Result->Outcome != TProcessOutcome::Encrypted &&
                                                     outcome.Result->Outcome != TProcessOutcome::Decrypted);
            }
            fileInHand_.reset();  // the next file's time starts when it does
            PostNotify(TJobProgress{i, count});
            PostNotify(TJobCounts{EncryptedList.size(), DecryptedList.size()});
            // Whole MiB: what a running display needs, the exact total comes with the end.
            PostNotify(TJobFailedSize{FailedList.size(), static_cast<std::uint32_t>(TotalBytes / 1'048'576)});
        },
        [this](std::size_t i, std::int64_t done, std::int64_t total) { FileGoesOn(i, done, total); });
    transform.FinishJournal();
    for (const auto& problem : transform.PendingProblems()) problems.push_back(problem);
    if (Params.RemoveThumbnails) forgetRecentFiles(EncryptedList, recentFiles);

    // Told once, at the end: the window shows it as a message, velmora-cli on standard error.
    QStringList notice;
    for (const auto& path : restored)
        notice << QStringLiteral("Restored as it was before an interrupted run: ") +
                      platform::FromLocal8Bit(path);
    for (const auto& problem : problems)
        notice << QStringLiteral("Not restored yet: ") + platform::FromLocal8Bit(problem);
    NoticeIsFailure = !problems.empty() || transform.NoticesAreFailures();
    for (const auto& text : transform.Notices()) {
        platform::MsgOut(platform::FromLocal8Bit(text));
        notice << platform::FromLocal8Bit(text);
    }
    if (!notice.isEmpty()) {
        Notice = notice.join(QLatin1Char('\n'));
        PostNotify(TJobError{Notice, NoticeIsFailure});
    }
    finish();
}

void TKZVThread::finish() {
    Ticks = platform::GetTickCount() - Ticks;  // unsigned: a wrap of the counter still gives the duration
    finished_ = true;
    PostNotify(TJobFinished{Terminated()});
}

void TKZVThread::DoThreadError(const QString& text) {
    TSafeThread::DoThreadError(text);
    ErrorText = text;
    PostNotify(TJobError{ErrorText});
    // The window leaves its running state only on WM_JOB_FINISHED; without it, it would show "Cancel"
    // for a job that is gone. The lists hold what was done before the error.
    if (!finished_) finish();
}

void TKZVThread::SafeDestroy() {
    FileList = {};
    SearchFolders = {};
    UnreadFolders = {};
    EncryptedList = {};
    DecryptedList = {};
    FailedList = {};
    TSafeThread::SafeDestroy();
}

}  // namespace engine
