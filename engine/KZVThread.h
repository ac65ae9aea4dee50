#pragma once
// One batch job: a worker thread that toggles a list of files one after another and tells the window
// how it goes through posted messages only. After it ends, the object stays as the record of the run.
//
// Hand-over in time, no locks: the creator fills FileList or SearchFolders and Params (and the journal)
// before Resume(); the worker writes FileList (when it searches), the result lists,
// TotalBytes and Ticks only before it posts WM_JOB_FINISHED; the window reads them only after
// handling that message.

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileTransform.h"
#include "engine/JobMessages.h"
#include "platform/FileIo.h"
#include "platform/SafeThread.h"
#include "platform/Thumbnails.h"

namespace engine {

class TJournal;

// A file (or a folder the search could not read) that failed, with its error code (kErrorIo,
// kErrorWrongKey, kErrorTooSmall) and, for code 1, the reason: what the system or the program said,
// without the path.
struct TFailedFile {
    std::string Path;
    int Code = 0;
    std::string Reason = {};
    friend bool operator==(const TFailedFile&, const TFailedFile&) = default;
};

// A folder whose videos the job finds itself, and whether its subfolders count.
struct TSearchFolder {
    std::string Path;
    bool Subfolders = false;
};

class TKZVThread : public platform::TSafeThread {
    Q_OBJECT

public:
    // Created suspended, with empty lists. Files are opened through `fileSystem`.
    explicit TKZVThread(platform::FileSystem& fileSystem = platform::localFileSystem());
    // Requests termination, waits for the file in hand to be finished or put back (see kFinishBlocks),
    // then frees the lists.
    ~TKZVThread() override;

    // Makes every toggle crash-safe (see TJournal). Before Resume() only. Creators normally set
    // Params.JournalFolder instead and let the job open its journal there.
    void UseJournal(std::unique_ptr<TJournal> journal);

    QString ErrorText;                  // the last error that escaped the work routine
    std::vector<std::string> FileList;  // input: the paths to process, in order
    // input: folders to search on the worker, before any file is touched, for the files that match
    // Params.VideoMask; what they hold is appended to FileList, folder by folder. A large tree takes long
    // to walk: here it neither holds up the window nor escapes Terminate(), which stops the search
    // between two entries and ends the job as canceled with nothing toggled.
    std::vector<TSearchFolder> SearchFolders;
    // input: folders whose files could not all be found (code 1, with the reason); the search of
    // SearchFolders adds its own. They open FailedList and count as failed from the first message on:
    // their videos stay as they are, unnoticed otherwise.
    std::vector<TFailedFile> UnreadFolders;
    // input: the user's options (SetUpJob fills them), the version for new trailers and the window.
    // Folders are searched for Params.VideoMask. With RemoveThumbnails the pictures of each file it
    // scrambles leave the desktop's thumbnail cache, and its entries the desktop's lists of recent
    // files; the failure notes of each file it restores leave the cache (see platform/Thumbnails.h and
    // platform/RecentFiles.h). A JournalFolder that cannot be opened fails every file with code 1,
    // and Notice says why.
    TKZVFlag Params;
    // What the user must hear once about the journal (it could not be written, a video was restored,
    // refused or not yet restorable because of an interrupted run); a copy is posted with WM_JOB_ERROR
    // just before WM_JOB_FINISHED.
    QString Notice;
    // After a stop: the file that was in hand when it came, and whether it is as it was (a long toggle
    // stopped part way and put back, or a file that failed) rather than finished. Empty when the stop
    // came between files.
    std::string StoppedAt;
    bool StoppedPutBack = false;
    bool NoticeIsFailure = false;    // the notice says a video is not as it should be
    std::int64_t TotalBytes = 0;     // sum of the toggled files' sizes after their toggle
    std::uint32_t Ticks = 0;         // tick count at the start; the elapsed milliseconds at the end
    std::atomic<bool> Quiet{false};  // set by the window: no further messages
    std::vector<std::string> EncryptedList;
    std::vector<std::string> DecryptedList;
    std::vector<TFailedFile> FailedList;

protected:
    void SafeExecute() override;
    void SafeDestroy() override;
    void DoThreadError(const QString& text) override;

    // Posts to Params.NotifyWnd unless Quiet is set; never waits for the window.
    void PostNotify(TJobMessage message);
    // Hears the transform on the blocks of the file in hand; tells the window every kFileNoticeMs.
    void FileGoesOn(std::size_t index, std::int64_t done, std::int64_t total);
    // Asked by the search between two folder entries with the files found so far: tells the window
    // at most every kSearchNoticeMs, and stops the search once the job is terminated.
    virtual bool SearchGoesOn(std::size_t found);

private:
    void search();
    void finish();
    void forgetThumbnails(const std::string& path, platform::TThumbnails which, const QString& cacheFolder);
    void forgetRecentFiles(const std::vector<std::string>& paths, const QString& dataFolder);

    platform::FileSystem& fileSystem_;
    std::unique_ptr<TJournal> journal_;
    std::atomic<bool> finished_{false};  // WM_JOB_FINISHED has been posted (or would have been, if quiet)
    std::uint32_t lastSearchNotice_ = 0;
    std::optional<std::size_t> fileInHand_;  // the file FileGoesOn last heard of, until it is reported
    std::uint32_t lastFileNotice_ = 0;
};

}  // namespace engine
