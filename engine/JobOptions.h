#pragma once
// What a user chooses for a job, in one value: the window and velmora-cli each build it once (from the
// settings, then the window's controls or the command line's flags) and hand it to the job unchanged.
// A new job setting is a field here, read from the settings in jobs/JobOptionsFromSettings. Standard
// library only.

#include <cstdint>
#include <string>

namespace engine {

// Target filter: the index of the window's target drop-down.
enum TFileType : std::uint8_t { ftBoth = 0, ftOnlyEncrypted = 1, ftOnlyUnencrypted = 2 };

struct TJobOptions {
    std::string Key;                 // in the local 8-bit encoding, as given; empty: no key
    std::uint8_t FileType = ftBoth;  // the target filter
    std::int32_t Blocks = 8;         // block limit for new encryptions; stream formats take more
    // Scramble MPEG transport and program streams whole (every whole block before the end), not just
    // their head: no player finds anything of them, even one forced to their format. It takes as long
    // as reading and writing the file.
    bool WholeStreams = false;
    bool KeepFileTime = true;      // restore each toggled file's last-write time
    bool RemoveThumbnails = true;  // take scrambled videos' pictures out of the desktop's caches
    std::string VideoMask;         // "*.asf;*.avi;...": which files a searched folder yields
    // Where the job keeps its recovery journal. When it cannot be opened there, no file is touched.
    // Empty: no journal (toggles are then not crash-safe).
    std::string JournalFolder;
};

}  // namespace engine
