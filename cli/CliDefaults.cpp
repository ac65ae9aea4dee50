#include "cli/CliDefaults.h"

#include "platform/Utility.h"
#include "settings/KZVConfig.h"

namespace cli {

TCliDefaults LoadCliDefaults() {
    // The settings object's defaults; the user's settings file is not read yet.
    const auto config = settings::TProjObj::Create<settings::TKZVConfig>();
    TCliDefaults defaults;
    defaults.Blocks = config->Blocks();
    defaults.KeepFileTime = config->KeepFileTime();
    defaults.VideoMask = platform::ToLocal8Bit(config->GetVideoMask());
    return defaults;
}

}  // namespace cli
