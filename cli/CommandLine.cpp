#include "cli/CommandLine.h"

#include <charconv>
#include <string>
#include <string_view>

#include "engine/FileTransform.h"
#include "engine/JobSetUp.h"
#include "engine/ScrambledHead.h"

namespace cli {

namespace {

std::optional<std::uint8_t> parseTarget(std::string_view text) {
    if (text == "both") return 0;
    if (text == "encrypted") return 1;
    if (text == "unencrypted") return 2;
    return std::nullopt;
}

std::optional<std::int32_t> parseBlocks(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < kMinBlocks || value > kMaxBlocks) return std::nullopt;
    return value;
}

}  // namespace

TParseResult ParseCommandLine(const std::vector<std::string>& arguments) {
    TCliOptions options;
    bool help = false;
    bool version = false;
    bool status = false;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.Paths.emplace_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name value" or "--name=value".
        std::string_view name = argument;
        std::optional<std::string_view> inlineValue;
        if (const auto eq = argument.find('='); argument.starts_with("--") && eq != std::string_view::npos) {
            name = argument.substr(0, eq);
            inlineValue = argument.substr(eq + 1);
        }
        const auto takesValue = [&]() -> std::optional<std::string_view> {
            if (inlineValue) return inlineValue;
            if (i + 1 < arguments.size()) return std::string_view(arguments[++i]);
            return std::nullopt;
        };
        const auto flagOnly = [&] { return !inlineValue.has_value(); };

        if (name == "--help" || name == "-h") {
            if (!flagOnly()) return {std::nullopt, std::string(name) + " takes no value"};
            help = true;
        } else if (name == "--version") {
            if (!flagOnly()) return {std::nullopt, "--version takes no value"};
            version = true;
        } else if (name == "--status") {
            if (!flagOnly()) return {std::nullopt, "--status takes no value"};
            status = true;
        } else if (name == "--recursive") {
            if (!flagOnly()) return {std::nullopt, "--recursive takes no value"};
            options.Recursive = true;
        } else if (name == "--notify") {
            if (!flagOnly()) return {std::nullopt, "--notify takes no value"};
            options.Notify = true;
        } else if (name == "--file-manager") {
            if (!flagOnly()) return {std::nullopt, "--file-manager takes no value"};
            options.FromFileManager = options.Notify = options.Recursive = true;
        } else if (name == "--whole-streams") {
            if (!flagOnly()) return {std::nullopt, "--whole-streams takes no value"};
            options.WholeStreams = true;
        } else if (name == "--key") {
            const auto value = takesValue();
            if (!value) return {std::nullopt, "--key needs a value"};
            // A longer key would be cut to what the trailer keeps, and a file scrambled with it would
            // then open with any key that begins the same.
            if (value->size() > engine::kMaxKeyBytes)
                return {std::nullopt, "--key is " + std::to_string(value->size()) +
                                          " bytes long; a key holds at most " +
                                          std::to_string(engine::kMaxKeyBytes) + " bytes"};
            options.Key = std::string(*value);
        } else if (name == "--target") {
            const auto value = takesValue();
            if (!value) return {std::nullopt, "--target needs a value: both, encrypted or unencrypted"};
            const auto target = parseTarget(*value);
            if (!target)
                return {std::nullopt,
                        "--target must be both, encrypted or unencrypted, not '" + std::string(*value) + "'"};
            options.FileType = *target;
        } else if (name == "--blocks") {
            const auto value = takesValue();
            if (!value) return {std::nullopt, "--blocks needs a number"};
            options.Blocks = parseBlocks(*value);
            if (!options.Blocks)
                return {std::nullopt, "--blocks must be a whole number from " + std::to_string(kMinBlocks) +
                                          " to " + std::to_string(kMaxBlocks) + ", not '" +
                                          std::string(*value) + "'"};
        } else {
            return {std::nullopt, "unknown option '" + std::string(name) + "'"};
        }
    }

    if (options.FromFileManager && status)
        return {std::nullopt, "--file-manager runs the toggle; it does not go with --status"};
    if (help) {
        options.Action = TCliAction::Help;
    } else if (version) {
        options.Action = TCliAction::Version;
    } else {
        options.Action = status ? TCliAction::Status : TCliAction::Run;
        if (options.Paths.empty()) return {std::nullopt, "no file or folder given"};
    }
    return {std::move(options), {}};
}

std::string HelpText() {
    return R"(Usage: velmora-cli [--key KEY] [--target both|encrypted|unencrypted] [--blocks N] [--whole-streams]
                   [--recursive] [--notify] PATH...
       velmora-cli --file-manager PATH...
       velmora-cli --status [--recursive] PATH...
       velmora-cli --version | --help

Toggles video files in place, as the Velmora window does: a file without Velmora's trailer is
encrypted, a file with one is decrypted. Only the leading blocks of each file are rewritten.

PATH        a file, taken as given, or a folder, whose video files are taken (the extensions
            of the Options dialog); files are processed in the order given.
--key KEY   the encryption key (case sensitive; at most 64 bytes). Without it files are
            encrypted without a key. A file encrypted with a key needs the same key to decrypt.
--target T  both (default), encrypted (only decrypt) or unencrypted (only encrypt).
--blocks N  how many 512 KiB blocks of each file to encrypt, 8 to 200000 (default: the setting, 8).
            MPEG transport and program streams (.ts, .m2ts, .mpg, .vob ..., told by their content)
            get at least )" +
           std::to_string(engine::kStreamHeadBlocks) +
           R"(, since players find their packets anywhere in the first megabytes; AVI files and
            MPEG-4 Visual (Xvid, DivX) get at least )" +
           std::to_string(engine::kRawProbeHeadBlocks) + R"(.
--whole-streams  encrypt MPEG transport and program streams whole (all but their last part block,
            under 512 KiB), so that not even a player forced to their format finds a frame. As slow
            as copying the file. Also on when the Options dialog says so.
--recursive search folders given as PATH in their subfolders too.
--notify    also tell the outcome as a desktop notification ("3 videos scrambled"), in the
            window's language; a run of more than a second shows that it runs, with a Stop button.
            When files failed, a button opens them in the window, and velmora-cli waits until the
            notification is answered or closed (at most two minutes) so that the button works.
            Without a notification server the outcome goes to standard error.
--file-manager  what the file managers' menu runs: the paths go to the open Velmora window when
            there is one; otherwise they are toggled as with --recursive --notify, each file
            once however often it is named.
--status    only report each file: "encrypted", "plain" or "error", a tab, the path (and for an
            error a tab and the message). Nothing is changed.
--version   print the version and end.
--help, -h  print this text and end.
--          every argument after it is a PATH.

After a run it prints "Encrypted: N", "Decrypted: N", "Failed: N", "Processed file size: ..." and
"Time escaped: ...", then one line per failed file: the path in double quotes and its error code
(1 failed to read or write, 2 encryption key incorrect, 3 file too small).
Ctrl+C stops after the file in hand, and so do SIGTERM and a terminal that closes
(SIGHUP); a long toggle (more than )" +
           std::to_string(engine::kFinishBlocks) + R"( blocks) is stopped part way and
finished or put back, whichever is quicker. The summary still prints.
Unless the Options dialog says otherwise, the desktop's cached pictures of each encrypted file are
removed, so that file managers stop showing them.

Exit status: 0 when no file failed, 1 when at least one failed, 2 for a usage error. A run stopped by
Ctrl+C ends as interrupted (status 130 in the shell) after printing its summary.
)";
}

}  // namespace cli
