#pragma once
// Start-up recovery, shared by the window and velmora-cli: before anything else touches a file, every
// toggle that an earlier process left unfinished is undone. Toggles complete in this boot are not
// waited for: their entries stay for a job to write back (see TDoneEntries), so a start never waits
// on the disk.

#include <string>
#include <vector>

#include "engine/journal/Recover.h"

namespace engine {

// Runs the recovery over `journalFolder`, writes each restored video and each problem to the log, and
// returns the restored videos' paths.
std::vector<std::string> RecoverInterruptedToggles(const std::string& journalFolder);
// The same, with the problems too, for callers that tell the user about them.
TRecoveryReport RecoverInterruptedTogglesReport(const std::string& journalFolder);

}  // namespace engine
