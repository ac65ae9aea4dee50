#include "cli/CliJobOptions.h"

#include "jobs/JobOptionsFromSettings.h"
#include "settings/KZVConfig.h"

namespace cli {

engine::TJobOptions JobOptionsFor(const TCliOptions& flags) {
    // Loading only reads: the window alone writes the settings file.
    const auto config = settings::TProjObj::Create<settings::TKZVConfig>();
    config->Load();
    engine::TJobOptions options = jobs::JobOptionsFromSettings(*config);
    options.Key = flags.Key;
    options.FileType = flags.FileType;
    options.Blocks = flags.Blocks.value_or(options.Blocks);
    options.WholeStreams = options.WholeStreams || flags.WholeStreams;
    return options;
}

}  // namespace cli
