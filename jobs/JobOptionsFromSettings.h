#pragma once
// The one place a job's options are read from the user's settings. The window adds the key and target
// its controls show; velmora-cli puts its flags on top.

#include "engine/JobOptions.h"

namespace settings {
class TKZVConfig;
}

namespace jobs {

// Everything `config` decides for a job, and the journal in the user's data folder. Key and target
// stay at their defaults (no key, both ways).
engine::TJobOptions JobOptionsFromSettings(const settings::TKZVConfig& config);

}  // namespace jobs
