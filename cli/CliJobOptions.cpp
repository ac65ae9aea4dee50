#include "cli/CliDefaults.h"

#include "platform/Utility.h"
#include "settings/KZVConfig.h"

namespace cli {

TCliDefaults LoadCliDefaults() {
    // The user's settings as the window left them, or the defaults without a readable file. Loading
    // only reads: the window alone writes the settings file.
    const auto config = settings::TProjObj::Create<settings::TKZVConfig>();
    config->Load();
    TCliDefaults defaults;
    defaults.Blocks = config->Blocks();
    defaults.KeepFileTime = config->KeepFileTime();
    defaults.RemoveThumbnails = config->RemoveThumbnails();
    defaults.WholeStreams = config->WholeStreams();
    defaults.VideoMask = platform::ToLocal8Bit(config->GetVideoMask());
    return defaults;
}

}  // namespace cli
