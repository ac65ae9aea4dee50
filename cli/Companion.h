#pragma once
// velmora-cli's work: one batch job over the given files, heard through its messages as the window
// hears them, or a status report. Needs a QCoreApplication.

#include <string>
#include <string_view>
#include <vector>

#include "cli/CommandLine.h"
#include "engine/JobOptions.h"
#include "engine/journal/Journal.h"
#include "platform/FileSearch.h"

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Files taken as given, folders replaced by the files the mask finds in them (in their subfolders too
// when `recursive`), in the order of the arguments. Folders that could not be read go to `unread`.
std::vector<std::string> ExpandPaths(const std::vector<std::string>& paths, const std::string& videoMask,
                                     bool recursive, std::vector<platform::TSearchProblem>* unread = nullptr);

// Runs the job over the paths `flags` names, with `options`, and prints its summary. Returns the exit
// status; a run stopped by a signal ends the process by that signal after the summary.
int RunJob(const TCliOptions& flags, const engine::TJobOptions& options);

// Prints one line per file: "encrypted", "plain" or "error", a tab, the path (a tab and the message).
int RunStatus(const TCliOptions& flags, const engine::TJobOptions& options,
              const engine::TPendingEntries& pending = {});

// A file name (or a message holding one) fit for a one-line-per-file output: backslash, tab, line
// breaks and other control characters written as escapes ("\\", "\t", "\n", "\x1b"), everything
// else as it is.
std::string EscapedForLine(std::string_view text);

// Flushes standard output; when what was printed could not all be written (a full disk, a closed
// pipe), says so on standard error and turns a successful `status` into kExitFailed.
int FinishOutput(int status);

}  // namespace cli
