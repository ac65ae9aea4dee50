#pragma once
// The recovery journal: before a toggle rewrites any byte of a video, an entry that lets a later start
// tell the video's exact state and undo the toggle is made durable. XOR and inversion are their own
// inverse, so the entry holds no original bytes: a 32-bit fingerprint of every 512-byte sector the
// toggle will rewrite, a 64-bit digest per block, the original size, last 96 bytes, last-write time and
// the transform (operation, effective key, block count). About 0.8 % of the rewritten bytes, whatever
// the block count.
//
// Recovery looks at every rewritten sector: one whose fingerprint matches is original, one that
// matches once transformed back is transformed. A video whose sectors, size and end are all original
// is untouched; all transformed with the complete end, the toggle is complete; a mix is undone sector
// by sector. A sector that matches neither, an end or size no toggle produces, or a rebuilt block whose
// digest differs leaves the video alone: its entry is kept and reported.
//
// Durability is grouped. The job records the entries of a group of files, makes them durable with one
// sync (Commit), then toggles the videos without syncing them. Entries stay until a checkpoint makes
// every changed video durable at once (one sync of their file system) and empties the journal: when
// the journal grows large, and before a video already in it is recorded again. At the job's end the
// videos are not waited for: the entries are marked done and the file is left to the next recovery.
// In the same boot (no power lost since) it syncs each file system once and drops them unread; after
// a reboot it checks each video, finding it complete or undoing it. Recovery never drops an entry
// before the video it describes is durable.
//
// Each process writes its own journal file and holds it locked while it lives; the file appears under
// its final name only once it is locked, so a recovery running in another process passes over it.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/FileIo.h"

namespace engine {

// The file suffix of journal files in their folder.
inline constexpr const char* kJournalSuffix = ".vjournal";
// The most blocks one entry can describe (2 TiB rewritten): entries claiming more are damaged.
inline constexpr std::int64_t kMaxJournalBlocks = std::int64_t{1} << 22;

// Where an entry for a video lies, so that a job can settle it when it meets the video again.
struct TPendingEntry {
    std::string JournalPath;
    std::int64_t Offset = 0;
    std::string VideoPath;
};

// A video's identity (device, inode) as a key.
using TIdentityKey = std::pair<std::uint64_t, std::uint64_t>;
// Entries still waiting, by the video's identity, newest first.
using TPendingEntries = std::map<TIdentityKey, std::vector<TPendingEntry>>;

struct TRecoveryReport {
    std::vector<std::string> Restored;  // videos put back as they were before an interrupted toggle
    std::vector<std::string> Problems;  // entries that could not be applied now, in words for the user
    TPendingEntries Pending;            // entries still waiting after this recovery
};

class TJournal {
public:
    enum class Operation : std::uint32_t { Encrypt = 1, Decrypt = 2 };

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

    // Creates this process's journal file in `folder` (made if missing), locked before it appears
    // under its name. Raises when it cannot.
    static std::unique_ptr<TJournal> Create(const std::string& folder,
                                            platform::FileSystem& fileSystem = platform::localFileSystem());
    // Finishes (see Finish) if that was not done.
    ~TJournal();
    TJournal(const TJournal&) = delete;
    TJournal& operator=(const TJournal&) = delete;

    // Entries that dead processes left and recovery could not apply by their path: a video met under
    // another name is settled through them before it is recorded.
    void AdoptPending(TPendingEntries pending) { pendingElsewhere_ = std::move(pending); }

    // Before a video is looked at: a pending entry for it (same identity) from an interrupted run is
    // applied to it now. Returns true when that put it back as it was; raises FileError when the entry
    // cannot be applied, and the video must then be left alone.
    bool SettlePending(platform::File& video);

    // Whether `video` was recorded since the last checkpoint; if so, Checkpoint() must come first.
    bool Holds(const platform::File& video) const;
    // Whether entries were recorded since the last Commit: no checkpoint may come before that commit.
    bool HasUncommitted() const noexcept { return !uncommitted_.empty(); }
    // Whether an undo of `video` failed in this run: it must not be recorded again.
    bool IsUnsettled(const platform::File& video) const;

    // Appends the entry for the next toggle of `video`; not yet durable. `buffer` (one block) is
    // scratch space. Raises when the entry cannot be written; the video has not been touched then.
    // Returns false, with nothing recorded, when the toggle's goOn said to stop.
    bool Record(platform::File& video, const Toggle& toggle, std::span<std::uint8_t> buffer);
    // Makes every entry recorded so far durable with one sync. Raises when it cannot: no video of
    // the group may then be touched, and their entries are forgotten.
    void Commit();
    // The toggle of `video` failed and could not be undone here: its entry must outlive the job.
    void Unsettled(const platform::File& video);
    // Makes every video recorded so far durable (one sync per file system) and empties the journal.
    // Raises when it cannot; the entries then stay, which is safe: recovery finds those toggles
    // complete.
    void Checkpoint();
    // The job's end: entries of complete toggles are marked done, and the file (unlocked) is left to
    // the next recovery; a journal that never held an entry is removed. Raises on failure, which is
    // safe: recovery then checks each video.
    void Finish();

    // Bytes written to the journal file since it was created (for benchmarks and the group bounds).
    std::int64_t BytesWritten() const noexcept { return bytesWritten_; }
    std::int64_t Size() const noexcept { return end_; }
    const std::string& path() const noexcept { return path_; }

private:
    TJournal(std::string folder, platform::FileSystem& fileSystem);
    void open();

    std::string folder_;
    platform::FileSystem& fileSystem_;
    std::string path_;
    std::unique_ptr<platform::File> file_;
    std::int64_t end_ = 0;                   // where the next entry goes
    std::int64_t committedEnd_ = 0;          // the end of the entries made durable
    std::vector<TIdentityKey> uncommitted_;  // recorded since the last Commit
    std::int64_t bytesWritten_ = 0;
    std::uint64_t lastSequence_ = 0;
    struct Recorded {
        std::int64_t offset;
        bool unsettled;
    };
    std::map<TIdentityKey, Recorded> recorded_;     // entries since the last checkpoint
    std::map<std::uint64_t, std::string> devices_;  // a video path on each file system written to
    bool finished_ = false;
    TPendingEntries pendingElsewhere_;
};

// Undoes every interrupted toggle that a dead process left in `folder`. Entries still locked by a live
// process are passed over; torn entries (their video was not touched yet) are discarded; entries for
// one video are applied newest first; a journal file too large to be one is set aside as damaged. An
// entry whose video is missing, held open, no longer the same file or in a state no toggle produces
// is kept and reported, so that nothing is ever thrown away or written where it does not belong.
TRecoveryReport RecoverJournals(const std::string& folder,
                                platform::FileSystem& fileSystem = platform::localFileSystem());

}  // namespace engine
