#pragma once
// Toggles one file in place: a file without a valid trailer is encrypted (its leading blocks XORed
// with the key, or inverted without one, and the trailer appended); a file with one is decrypted (key
// checked, the same blocks restored, the trailer cut off). Standard library and platform/ only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "engine/JobOptions.h"
#include "engine/KeyPattern.h"
#include "engine/ScrambledHead.h"
#include "engine/Trailer.h"
#include "engine/journal/Journal.h"
#include "platform/FileIo.h"

class QObject;  // the window that hears from the job; the transform never touches it

namespace engine {

// The job's parameters, complete before the job starts and never changed by it: what the user chose
// (the key never more than 64 bytes), and what the program adds.
struct TKZVFlag : TJobOptions {
    std::string Version;  // version text for new trailers, at most 13 characters used
    QObject* NotifyWnd = nullptr;
};

// Error codes of a failed file, as the failed list stores them.
inline constexpr int kErrorIo = 1;        // could not be opened, read, written or resized
inline constexpr int kErrorWrongKey = 2;  // encrypted with another key
inline constexpr int kErrorTooSmall = 3;  // smaller than one block

// Stopped: the job was asked to stop while the file's long toggle was under way, and the file was put
// back as it was.
enum class TProcessOutcome { Encrypted, Decrypted, Skipped, WrongKey, TooSmall, Stopped };

struct TProcessResult {
    TProcessOutcome Outcome;
    std::int64_t SizeAfter;  // the file's size as it now is
};

// Raised for a file that must not be touched (code 1 in the job). The file is unchanged.
class TransformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The last-write time of a file, or nothing when it cannot be read. Never raises.
std::optional<platform::FileTime> SaveFileTime(platform::FileSystem& fs, const std::string& path);
// Sets the last-write time and leaves the other times alone. Failure is silent.
void RestoreFileTime(platform::FileSystem& fs, const std::string& path, platform::FileTime time);

// The points between the steps of a toggle that change the video, in their order. VideoSynced and
// JournalDropped come at a checkpoint: the changed videos made durable, then the journal emptied.
enum class TToggleStep {
    JournalRecorded,
    TrailerAppended,
    BlockWritten,
    TrailerCut,
    VideoSynced,
    JournalDropped
};

// What became of one file of a batch: a result, or the error that made it fail (code 1).
struct TFileOutcome {
    std::optional<TProcessResult> Result;
    std::string Error;
};

// A long toggle rewrites more blocks than this (32 MiB, well under a second): it tells how far it is,
// goes in a journal group of its own, and can be stopped part way. Asked to stop, it finishes when no
// more than this many blocks are left, or when finishing rewrites fewer blocks than undoing would;
// otherwise it is undone. Either way a stop never waits for more than half of it.
inline constexpr std::int64_t kFinishBlocks = 64;

// How far the file in hand is, for a long toggle: `done` of `total` steps, a step being a block read
// for the journal or a block rewritten (an undo counts back down). `index` is the file's place in
// the batch.
using TFileProgress = std::function<void(std::size_t index, std::int64_t done, std::int64_t total)>;

// How a batch groups the journal's syncs: a group ends at `files` files, `bytes` bytes to rewrite or
// `seconds` of preparing, whichever comes first; a checkpoint follows a group once the journal holds
// more than `checkpointBytes`.
struct TGroupLimits {
    std::size_t files = 64;
    std::int64_t bytes = std::int64_t{256} << 20;
    double seconds = 0.5;
    std::int64_t checkpointBytes = kCheckpointBytes;
};

// One job's transform. Holds the block buffer and the key streams, laid out once and reused for every
// file, so that nothing is allocated per block.
class TFileTransform {
public:
    TFileTransform(TKZVFlag params, bool keepFileTime,
                   platform::FileSystem& fileSystem = platform::localFileSystem());

    // Toggles one file. Decided refusals come back as outcomes; any failure raises, and a file that
    // was already partly rewritten is first put back exactly as it was (which raises too if that
    // fails). The file is held open without sharing throughout. With a journal, its entry is made
    // durable alone before the file changes.
    TProcessResult ProcessFile(const std::string& path, const std::string& key);

    // Toggles `paths` in order. With a journal, the entries of a group of files are made durable with
    // one sync before any of them changes, so the group's files are opened ahead (never changed
    // ahead); a long toggle goes in a group of its own. `stop` is asked before each file, and
    // between the blocks of a long toggle (see kFinishBlocks); `report` hears of each file in order,
    // `progress` of the blocks of a long toggle in hand.
    void ProcessFiles(const std::vector<std::string>& paths, const std::string& key,
                      const std::function<bool()>& stop,
                      const std::function<void(std::size_t, const TFileOutcome&)>& report,
                      const TFileProgress& progress = {});

    // From now on every toggle is recorded in the journal before the video changes, so that a crash
    // or a power cut at any moment can be undone.
    void UseJournal(std::unique_ptr<TJournal> journal) { journal_ = std::move(journal); }
    // The job's end: the journal's entries marked done and left for a later job, which writes their
    // videos back (see TJournal::Finish); the done entries of earlier runs that this job did not meet
    // are written back and settled now. Problems become notices.
    void FinishJournal();
    // The journal that could not be created: every file is refused, and the user hears why once.
    void JournalUnavailable(std::string folder, const std::string& reason);
    void SetGroupLimits(TGroupLimits limits) { limits_ = limits; }

    // What the user should hear once, at the end of the job: a journal that could not be written,
    // videos restored or refused because of an interrupted run, a checkpoint that failed.
    const std::vector<std::string>& Notices() const noexcept { return notices_; }
    // Whether a notice says something went wrong with a file; the others (a video restored, a journal
    // that could not be closed once every toggle was complete) leave the run's outcome to its files.
    bool NoticesAreFailures() const noexcept { return noticesFail_; }
    // What the user was told of interrupted runs' entries that this job did not settle.
    const std::vector<std::string>& PendingProblems() const noexcept { return pendingProblems_; }

    // Called after each step that changes the video. For crash tests only.
    void SetStepHookForTesting(std::function<void(TToggleStep)> hook) { stepHook_ = std::move(hook); }

    const TKZVFlag& Params() const noexcept { return params_; }
    const TJournal* Journal() const noexcept { return journal_.get(); }

private:
    // A file opened and decided, its entry recorded; not yet changed.
    struct Prepared {
        std::string path;
        std::optional<platform::FileTime> savedTime;
        std::unique_ptr<platform::File> file;
        bool decrypt = false;
        TKZVTrailer record{};
        std::string effectiveKey;
        std::int64_t size = 0;
        std::int64_t blocks = 0;
        std::int64_t steps = 0;  // for progress: the journal's reading and the rewriting
        bool isLong = false;     // more than kFinishBlocks blocks
    };
    // What prepare() decides when a file must wait for the next group. A single ProcessFile commits
    // at once, so it never meets it.
    struct NextGroup {};
    struct Slot {
        std::size_t index;
        TFileOutcome outcome;              // when decided without a change
        std::optional<Prepared> prepared;  // when it is to be toggled
    };

    // Opens and decides. A refusal or a skip comes back as a result, with nothing held open.
    std::variant<TProcessResult, Prepared, NextGroup> prepare(const std::string& path,
                                                              const std::string& key);
    TProcessResult toggle(Prepared& prepared);
    void checkpoint();
    void journalFailed(const std::exception& error);

    // The pattern for the effective key; the keyed one is rebuilt only when the key changes.
    const TKeyPattern& patternFor(const std::string& effectiveKey);

    // Rewrites the first `count` blocks; `progress` tells an undo how far it got.
    struct Progress {
        std::int64_t blocksDone = 0;
        bool writing = false;          // a block's write had begun and may be partial
        std::int64_t stepsBefore = 0;  // steps of the file done before its blocks: the journal's reading
        std::int64_t steps = 0;        // the file's steps in all
        bool tell = false;             // a long toggle: progress is told
    };
    // The kind of a plain file by its content, for how many blocks it needs (see ScrambledHead.h).
    TContentKind contentKindOf(platform::File& file, std::int64_t size);
    // False when the batch was stopped part way through a long toggle, which must then be undone.
    bool transformBlocks(platform::File& file, std::int64_t count, const TKeyPattern& pattern,
                         Progress& progress);
    void step(TToggleStep s) const {
        if (stepHook_) stepHook_(s);
    }
    // Whether a long toggle with `done` of `count` blocks rewritten should stop here and be undone.
    bool stopHere(std::int64_t done, std::int64_t count) const;
    void tellProgress(std::int64_t done, std::int64_t total) const {
        if (progress_ && *progress_) (*progress_)(index_, done, total);
    }
    // Puts every rewritten block back and restores the original size, and with it the trailer that a
    // decryption had cut off.
    void undo(platform::File& file, const Progress& progress, const TKeyPattern& pattern,
              std::int64_t originalSize, const TKZVTrailer* cutTrailer);

    TKZVFlag params_;
    bool keepFileTime_;
    platform::FileSystem& fileSystem_;
    std::vector<std::uint8_t> buffer_;
    TKeyPattern inversion_;
    TKeyPattern keyed_;
    std::unique_ptr<TJournal> journal_;
    std::string journalUnavailable_;  // why no journal could be made; every file is refused then
    TGroupLimits limits_;
    bool toldJournalFailure_ = false;
    std::vector<std::string> notices_;
    bool noticesFail_ = false;
    std::vector<std::string> pendingProblems_;
    std::function<void(TToggleStep)> stepHook_;
    // Set while ProcessFiles runs: its stop question, its progress listener, the file in hand.
    const std::function<bool()>* stop_ = nullptr;
    const TFileProgress* progress_ = nullptr;
    std::size_t index_ = 0;
};

}  // namespace engine
