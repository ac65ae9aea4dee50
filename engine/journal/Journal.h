#pragma once
// The recovery journal's writer: before a toggle rewrites any byte of a video, an entry that lets a
// later start tell the video's exact state and undo the toggle is made durable. The entry holds no
// original bytes (XOR and inversion are their own inverse): the fingerprints of every sector the
// toggle will rewrite, and the video's size, last 96 bytes, time, owner and the transform. About
// 0.8 % of the rewritten bytes. FORMAT.md beside this file has its bytes.
//
// Durability is grouped. The job records the entries of a group of files, makes them durable with
// one sync (Commit), then toggles the videos without syncing them. Entries stay until a checkpoint
// makes every changed video durable and empties the journal: when the journal grows large, and before
// a video already in it is recorded again. At the job's end the videos are not waited for: the
// entries are marked done and the file is left for a later job, which writes each video back with a
// sync of that file alone before it changes it again (Recover.h).
//
// Each process writes its own journal file, in a folder only the user can write, and holds it locked
// while it lives; the file appears under its final name only once it is locked, so a recovery running
// in another process passes over it.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/journal/Fingerprint.h"
#include "engine/journal/Format.h"
#include "engine/journal/JournalFile.h"
#include "platform/FileIo.h"

namespace engine {

// The file suffix of journal files in their folder.
inline constexpr const char* kJournalSuffix = ".vjournal";
inline constexpr std::int64_t kMaxJournalBlocks = journal::kMaxBlocks;
// A journal holds at most this much before a checkpoint empties it, plus one entry.
inline constexpr std::int64_t kCheckpointBytes = std::int64_t{64} << 20;

// An entry that recovery could not apply, waiting for its video: a job that meets a file that it may
// describe applies it first, or refuses the file. Or one of a toggle complete in this boot, whose
// video a job writes back before touching it.
struct TPendingEntry {
    std::string JournalPath;
    std::int64_t Offset = 0;
    std::string VideoPath;  // canonical, when it was recorded
    std::uint64_t Device = 0;
    std::int64_t OriginalSize = 0;
    std::string Problem;  // what the user was told about it
    // Complete in this boot: it waits only for its video's data to be written back, and is no problem.
    bool Done = false;
};
// By the video's inode, newest first. Not by device: a disk can come back under another number.
using TPendingEntries = std::map<std::uint64_t, std::vector<TPendingEntry>>;

// What the user was told of a pending entry that may describe the file at `path`, if any: such a
// file is neither plain nor encrypted until the entry is applied.
std::optional<std::string> PendingProblemFor(const TPendingEntries& pending, const std::string& path,
                                             platform::FileSystem& fileSystem = platform::localFileSystem());

class TJournal {
public:
    using Operation = journal::Operation;

    // What one toggle will do, as recovery must know it.
    struct Toggle {
        Operation operation = Operation::Encrypt;
        std::int64_t blocks = 0;
        std::string key;                      // the effective key; empty: inversion
        std::span<const std::uint8_t> after;  // the trailer an encryption appends (96 bytes)
        bool keepFileTime = false;            // the toggle puts the last-write time back
        // Told the blocks read so far after each one; false stops the recording. Reading a whole
        // large file for its fingerprints takes as long as the toggle's own reading.
        std::function<bool(std::int64_t blocksRead)> goOn = {};
    };

    // Creates this process's journal file in `folder` (made if missing, only the user's), locked
    // before it appears under its name. Raises when it cannot, or when the folder is not the user's
    // alone.
    static std::unique_ptr<TJournal> Create(const std::string& folder,
                                            platform::FileSystem& fileSystem = platform::localFileSystem());
    // Finishes (see Finish) if that was not done.
    ~TJournal();
    TJournal(const TJournal&) = delete;
    TJournal& operator=(const TJournal&) = delete;

    // Entries that recovery could not apply: a video that one of them may describe is settled
    // through it before it is recorded.
    void AdoptPending(TPendingEntries pending) { pending_ = std::move(pending); }
    // Before a video is looked at: every pending entry that may describe it is applied now. Returns
    // true when that put it back as it was; raises FileError when an entry cannot be applied, and the
    // video must then be left alone.
    bool SettlePending(platform::File& video);
    // What the user was told of entries that are still pending.
    std::vector<std::string> PendingProblems() const;
    // The done entries of earlier runs that no toggle of this job met: their videos written back
    // (our own files' data only) and the entries settled. Problems come back in words.
    std::vector<std::string> WriteBackDone();

    // Whether `video` was recorded since the last checkpoint; if so, Checkpoint() must come first.
    bool Holds(const platform::File& video) const;
    // Whether entries were recorded since the last Commit: no checkpoint may come before that commit.
    bool HasUncommitted() const noexcept { return !uncommitted_.empty(); }
    // Whether an undo of `video` failed in this run: it must not be recorded again.
    bool IsUnsettled(const platform::File& video) const;

    // Appends the entry for the next toggle of `video`; not yet durable. `buffer` (one block) is
    // scratch space. Raises when the entry cannot be written, or when another program asks for the
    // video while it is read (it gets it at once, untouched). Returns false, with nothing recorded,
    // when the toggle's goOn said to stop.
    bool Record(platform::File& video, const Toggle& toggle, std::span<std::uint8_t> buffer);
    // Makes every entry recorded so far durable with one sync. Raises when it cannot: no video of
    // the group may then be touched, and their entries are forgotten.
    void Commit();
    // The toggle of `video` failed and could not be undone here: its entry must outlive the job.
    void Unsettled(const platform::File& video);
    // Makes every video recorded so far durable (each with a sync of its own: nothing of other
    // programs' data is waited for; then `videosSynced`) and empties the journal. Raises when it cannot; the
    // entries then stay, which is safe: recovery finds those toggles complete.
    void Checkpoint(const std::function<void()>& videosSynced = {});
    // The job's end: entries of complete toggles are marked done, and the file (unlocked) is left to
    // the next recovery; a journal that never held an entry is removed. Raises on failure, which is
    // safe: recovery then checks each video.
    void Finish();

    // Bytes written to the journal file since it was created (for benchmarks and the group bounds).
    std::int64_t BytesWritten() const noexcept { return bytesWritten_; }
    std::int64_t Size() const noexcept { return end_; }
    const std::string& path() const noexcept { return path_; }

private:
    using IdentityKey = std::pair<std::uint64_t, std::uint64_t>;  // device, inode: within one run
    static IdentityKey keyOf(const platform::File& video);

    TJournal(std::string folder, platform::FileSystem& fileSystem);
    void open();
    // Runs a write to the journal file; a failure names the journal by its final name.
    template <typename Write>
    void onJournal(Write&& write);

    std::string folder_;
    platform::FileSystem& fileSystem_;
    std::string path_;
    std::unique_ptr<platform::File> file_;
    std::int64_t end_ = 0;                  // where the next entry goes
    std::int64_t committedEnd_ = 0;         // the end of the entries made durable
    std::vector<IdentityKey> uncommitted_;  // recorded since the last Commit
    std::int64_t bytesWritten_ = 0;
    std::uint64_t lastSequence_ = 0;
    struct Recorded {
        std::int64_t offset;
        bool unsettled;
        std::string path;  // canonical, as the entry names it
    };
    std::map<IdentityKey, Recorded> recorded_;  // entries since the last checkpoint
    bool finished_ = false;
    TPendingEntries pending_;
    // The journals of earlier runs that this job settles entries of, held from the first one met to
    // the job's end. A done entry met is voided with the next Commit, before its video changes
    // again: a power cut must never find two entries of one video, the older matching neither of
    // the video's states.
    std::map<std::string, journal::OpenJournal> heldJournals_;
    journal::OpenJournal* heldJournal(const std::string& path);  // nullptr: it is gone
    void settleDone(const std::string& journalPath, std::int64_t offset);
    journal::BlockFingerprints fingerprints_;
};

}  // namespace engine
