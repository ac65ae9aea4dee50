#pragma once
// velmora-cli's command line. Arguments are taken as the bytes they are: a path is passed on exactly,
// whatever its encoding, which a decoding parser would not guarantee.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/KZVConfig.h"

namespace cli {

enum class TCliAction { Run, Status, Help, Version };

struct TCliOptions {
    TCliAction Action = TCliAction::Run;
    std::string Key;                     // as given; the job uses its first engine::kMaxKeyBytes bytes
    std::uint8_t FileType = 0;           // 0 both, 1 only encrypted, 2 only unencrypted
    std::optional<std::int32_t> Blocks;  // the setting when not given
    bool Recursive = false;
    bool WholeStreams = false;     // on whatever the setting says; off: the setting decides
    bool Notify = false;           // tell the outcome as a desktop notification too
    bool FromFileManager = false;  // hand the paths to an open window, or run with Notify and Recursive
    std::vector<std::string> Paths;
};

struct TParseResult {
    std::optional<TCliOptions> Options;
    std::string Error;  // what is wrong, when Options is empty
};

using settings::kMaxBlocks;  // the options dialog's range
using settings::kMinBlocks;

TParseResult ParseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
std::string HelpText();

}  // namespace cli
