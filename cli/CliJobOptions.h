#pragma once
// What velmora-cli takes from the user's settings when the command line does not say otherwise.

#include <cstdint>
#include <string>

namespace cli {

struct TCliDefaults {
    std::int32_t Blocks = 8;       // block limit for new encryptions
    bool KeepFileTime = true;      // restore each toggled file's last-write time
    bool RemoveThumbnails = true;  // take scrambled videos' pictures out of the thumbnail cache
    bool WholeStreams = false;     // scramble MPEG transport and program streams whole
    std::string VideoMask;         // "*.asf;*.avi;...": which files a directory argument yields
};

// The defaults, read once at start. Never writes anything.
TCliDefaults LoadCliDefaults();

}  // namespace cli
