#include "jobs/JobOptionsFromSettings.h"

#include "platform/Utility.h"
#include "settings/AppFolders.h"
#include "settings/KZVConfig.h"

namespace jobs {

engine::TJobOptions JobOptionsFromSettings(const settings::TKZVConfig& config) {
    engine::TJobOptions options;
    options.Blocks = config.Blocks();
    options.WholeStreams = config.WholeStreams();
    options.KeepFileTime = config.KeepFileTime();
    options.RemoveThumbnails = config.RemoveThumbnails();
    options.VideoMask = platform::ToLocal8Bit(config.GetVideoMask());
    // Every toggle crash-safe, for the window and velmora-cli alike.
    options.JournalFolder = platform::ToLocal8Bit(settings::JournalFolder());
    return options;
}

}  // namespace jobs
