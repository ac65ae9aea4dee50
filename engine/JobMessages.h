#pragma once
// What a job tells its window, message by message: each number with the one payload type it carries.
// The event owns its payload, so a receiver may read it however late, whatever became of the job.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <variant>

class QEvent;
class QObject;

namespace engine {

// The job's messages to Params.NotifyWnd, in the order they come: while it searches folders, SEARCHING
// now and then; during a long toggle FILEPROGRESS now and then; per file PROGRESS, COUNTS and
// FAILEDSIZE; at the end at most one ERROR, then FINISHED.
inline constexpr std::uint32_t WM_JOB_FINISHED = 6124;
inline constexpr std::uint32_t WM_JOB_ERROR = 6125;
inline constexpr std::uint32_t WM_JOB_PROGRESS = 6126;
inline constexpr std::uint32_t WM_JOB_COUNTS = 6127;
inline constexpr std::uint32_t WM_JOB_FAILEDSIZE = 6128;
inline constexpr std::uint32_t WM_JOB_SEARCHING = 6129;
inline constexpr std::uint32_t WM_JOB_FILEPROGRESS = 6130;

struct TJobFinished {
    static constexpr std::uint32_t Msg = WM_JOB_FINISHED;
    bool Canceled = false;
    friend bool operator==(const TJobFinished&, const TJobFinished&) = default;
};

// An error that ended the job early, or the journal's notice for the user.
struct TJobError {
    static constexpr std::uint32_t Msg = WM_JOB_ERROR;
    QString Text;
    // False for what is worth telling but left nothing wrong (videos restored, a journal that could
    // not be closed after every toggle was complete): the run's outcome stays the files'.
    bool Failure = true;
    friend bool operator==(const TJobError&, const TJobError&) = default;
};

struct TJobProgress {
    static constexpr std::uint32_t Msg = WM_JOB_PROGRESS;
    std::size_t Index = 0;  // of the file just handled
    std::size_t Count = 0;  // files in the job
    friend bool operator==(const TJobProgress&, const TJobProgress&) = default;
};

struct TJobCounts {
    static constexpr std::uint32_t Msg = WM_JOB_COUNTS;
    std::size_t Encrypted = 0;  // entries in EncryptedList
    std::size_t Decrypted = 0;  // entries in DecryptedList
    friend bool operator==(const TJobCounts&, const TJobCounts&) = default;
};

struct TJobFailedSize {
    static constexpr std::uint32_t Msg = WM_JOB_FAILEDSIZE;
    std::size_t Failed = 0;  // entries in FailedList
    std::uint32_t Mib = 0;   // TotalBytes in whole MiB, rounded down
    friend bool operator==(const TJobFailedSize&, const TJobFailedSize&) = default;
};

// The job is still searching its folders: once as it starts, then at most every kSearchNoticeMs, and
// once more with the total when the search ends (stopped or not).
struct TJobSearching {
    static constexpr std::uint32_t Msg = WM_JOB_SEARCHING;
    std::size_t Found = 0;  // files found so far
    friend bool operator==(const TJobSearching&, const TJobSearching&) = default;
};

// How often at most a search tells how far it is: more would only flood the window.
inline constexpr std::uint32_t kSearchNoticeMs = 50;

// How far the file in hand is, for a toggle that takes a while (a whole stream, a large block
// setting): first after kFileNoticeMs in the file, then at most every kFileNoticeMs. Done goes down
// while a stopped toggle is undone.
struct TJobFileProgress {
    static constexpr std::uint32_t Msg = WM_JOB_FILEPROGRESS;
    std::size_t Index = 0;  // of the file in hand
    std::size_t Count = 0;  // files in the job
    std::int64_t Done = 0;  // steps of the file done: blocks read for the journal, blocks rewritten
    std::int64_t Total = 0;
    friend bool operator==(const TJobFileProgress&, const TJobFileProgress&) = default;
};

inline constexpr std::uint32_t kFileNoticeMs = 100;

using TJobMessage = std::variant<TJobFinished, TJobError, TJobProgress, TJobCounts, TJobFailedSize,
                                 TJobSearching, TJobFileProgress>;

// The number that `message` travels under.
std::uint32_t MessageNumber(const TJobMessage& message);

// Posts `message` under its number to `wnd`; never waits. False without a window.
bool PostJobMessage(QObject* wnd, TJobMessage message);

// The job message carried by `event`, or nullptr when it is none.
const TJobMessage* AsJobMessage(const QEvent* event);

}  // namespace engine
