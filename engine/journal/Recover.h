#pragma once
// Recovery: undoes every interrupted toggle that a dead process left in the journal folder.
//
// Only what the user wrote is applied: the folder and each journal must be the user's alone, and are
// opened without following links; anything else is set aside and reported. An entry is applied to
// the file at its path only when that file has the recorded inode and owner (the device number is
// no evidence: a disk can come back under another one), and only as the decision table says from
// the file's content (Settle.h). Entries still locked by a live process are passed over; torn
// entries (their video was not touched yet) are discarded; entries for one video are applied newest
// first. An entry that cannot be applied now is kept and reported, and waits for its video.
//
// Entries marked done in this boot need no more than their videos' data written back, and that may
// take long when other programs have much data pending on the same disk. The start of the window and
// of velmora-cli keeps them (TDoneEntries::Keep): a job writes back each one's video before it
// touches it, and the rest at its end, with an fdatasync of our own files only.

#include <string>
#include <vector>

#include "engine/journal/Journal.h"
#include "platform/FileIo.h"

namespace engine {

struct TRecoveryReport {
    std::vector<std::string> Restored;  // videos put back as they were before an interrupted toggle
    std::vector<std::string> Problems;  // in words for the user, the kept entries' among them
    TPendingEntries Pending;            // entries still waiting after this recovery, kept done ones too
};

enum class TDoneEntries {
    Keep,       // left in their journals, and handed over in Pending (Done set) for a job to settle
    WriteBack,  // each video's data written back, then the entry settled
};

TRecoveryReport RecoverJournals(const std::string& folder,
                                platform::FileSystem& fileSystem = platform::localFileSystem(),
                                TDoneEntries done = TDoneEntries::WriteBack);

}  // namespace engine
