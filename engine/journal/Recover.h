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

#include <string>
#include <vector>

#include "engine/journal/Journal.h"
#include "platform/FileIo.h"

namespace engine {

struct TRecoveryReport {
    std::vector<std::string> Restored;  // videos put back as they were before an interrupted toggle
    std::vector<std::string> Problems;  // in words for the user, the kept entries' among them
    TPendingEntries Pending;            // entries still waiting after this recovery
};

TRecoveryReport RecoverJournals(const std::string& folder,
                                platform::FileSystem& fileSystem = platform::localFileSystem());

}  // namespace engine
