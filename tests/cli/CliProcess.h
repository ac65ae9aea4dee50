#pragma once
// Runs velmora-cli as a child process and collects what it prints and how it ended.

#include <functional>
#include <string>
#include <vector>

namespace clitest {

struct CliResult {
    std::string out;
    std::string err;
    int exitCode = -1;   // when it exited
    int termSignal = 0;  // when a signal ended it
};

struct CliRun {
    std::vector<std::string> args;
    // Standard error on a pseudo-terminal, as when a user watches.
    bool errOnTerminal = false;
    // Called with the standard error seen so far, each time more arrives; may signal the child.
    std::function<void(const std::string& errSoFar, int pid)> onErr;
    // Standard output into this file instead of being collected (such as "/dev/full").
    std::string outFile;
};

CliResult runCli(const CliRun& run);
inline CliResult runCli(std::vector<std::string> args) {
    return runCli(CliRun{std::move(args), false, {}, {}});
}

}  // namespace clitest
