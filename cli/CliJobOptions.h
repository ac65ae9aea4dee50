#pragma once
// The job's options as velmora-cli runs it: the user's settings as the window left them, with the
// command line's flags on top.

#include "cli/CommandLine.h"
#include "engine/JobOptions.h"

namespace cli {

// Reads the settings file once (never writes it); without a readable one the defaults serve.
engine::TJobOptions JobOptionsFor(const TCliOptions& flags);

}  // namespace cli
