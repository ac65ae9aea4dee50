#pragma once
// The recovery journal: before a toggle rewrites any byte of a video, what is needed to undo it (the
// original bytes of every block it will rewrite, the original size, the original last 96 bytes and
// last-write time) is written to the journal and made durable. A process that dies in the middle of a
// toggle, or a machine that loses power, leaves the entry behind; the next start undoes the toggle, so
// a video is never left half-scrambled.
//
// Each process writes its own journal file and holds it locked while it lives, so a recovery running
// in another process passes over entries whose owner is still at work.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/FileIo.h"

namespace engine {

class TJournal {
public:
    enum class Operation : std::uint32_t { Encrypt = 1, Decrypt = 2 };

    // Creates this process's journal file in `folder` (made if missing). Raises when it cannot.
    static std::unique_ptr<TJournal> Create(const std::string& folder,
                                            platform::FileSystem& fileSystem = platform::localFileSystem());
    ~TJournal();
    TJournal(const TJournal&) = delete;
    TJournal& operator=(const TJournal&) = delete;

    // Writes the undo record for the next toggle of `video` and makes it durable: the first `blocks`
    // blocks as they are now, `originalSize`, the last 96 bytes and the last-write time. `buffer`
    // (one block long) is only scratch space. Raises when the record cannot be made durable; the
    // video has not been touched then.
    void Record(platform::File& video, Operation operation, std::int64_t blocks,
                std::span<std::uint8_t> buffer);

    // The toggle is complete and the video durable: the entry is no longer needed.
    void Drop();

    // The toggle failed and could not be undone here: the entry stays on disk for the next start's
    // recovery, and this journal moves on to a new file for the toggles that follow.
    void Abandon();

    const std::string& path() const noexcept { return path_; }

private:
    TJournal(std::string folder, platform::FileSystem& fileSystem);
    void open();
    void invalidate();

    std::string folder_;
    platform::FileSystem& fileSystem_;
    std::string path_;
    std::unique_ptr<platform::File> file_;
    bool holdsEntry_ = false;
};

// The file suffix of journal files in their folder.
inline constexpr const char* kJournalSuffix = ".vjournal";

struct TRecoveryReport {
    std::vector<std::string> Restored;  // videos put back as they were before an interrupted toggle
    std::vector<std::string> Problems;  // texts for the log: entries that could not be applied now
};

// Undoes every interrupted toggle that a dead process left in `folder`. Entries still locked by a live
// process are passed over; torn entries (the process died while writing them, before touching the
// video) are discarded; an entry whose video is missing, held open or no longer the same file is kept
// and reported, so that no original bytes are thrown away.
TRecoveryReport RecoverJournals(const std::string& folder,
                                platform::FileSystem& fileSystem = platform::localFileSystem());

}  // namespace engine
