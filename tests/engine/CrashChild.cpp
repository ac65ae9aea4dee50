// The child of the crash test: starts like the program does (recovery first), then toggles the files
// it is given with the journal on, and kills itself with SIGKILL at a chosen point if asked to.
//
//   crash_child recover <journal folder>
//   crash_child toggle <journal folder> <key> <step|none> <occurrence> <file>...

#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/FileTransform.h"
#include "engine/journal/Recover.h"

namespace {

const std::map<std::string, engine::TToggleStep> kSteps = {
    {"JournalRecorded", engine::TToggleStep::JournalRecorded},
    {"TrailerAppended", engine::TToggleStep::TrailerAppended},
    {"BlockWritten", engine::TToggleStep::BlockWritten},
    {"TrailerCut", engine::TToggleStep::TrailerCut},
    {"VideoSynced", engine::TToggleStep::VideoSynced},
    {"JournalDropped", engine::TToggleStep::JournalDropped},
};

int recover(const std::string& folder) {
    const auto report = engine::RecoverJournals(folder);
    for (const auto& path : report.Restored) std::printf("restored %s\n", path.c_str());
    for (const auto& problem : report.Problems) std::printf("problem %s\n", problem.c_str());
    return report.Problems.empty() ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "recover") == 0) return recover(argv[2]);
    if (argc < 6 || std::strcmp(argv[1], "toggle") != 0) {
        std::fprintf(stderr, "usage: crash_child recover DIR | toggle DIR KEY STEP N FILE...\n");
        return 2;
    }
    const std::string folder = argv[2];
    const std::string key = argv[3];
    const std::string stepName = argv[4];
    const int occurrence = std::atoi(argv[5]);
    if (const int rc = recover(folder); rc != 0) return rc;

    engine::TKZVFlag params;
    params.Key = key;
    params.Blocks = 2;
    params.Version = "1.0.0";  // as the test's reference toggles write it
    engine::TFileTransform transform(params, true);
    transform.UseJournal(engine::TJournal::Create(folder));
    if (const auto it = kSteps.find(stepName); it != kSteps.end()) {
        transform.SetStepHookForTesting(
            [wanted = it->second, occurrence, seen = 0](engine::TToggleStep s) mutable {
                if (s == wanted && ++seen == occurrence) std::raise(SIGKILL);
            });
    }
    // The job's own path, in small groups with a checkpoint after each, so that every step occurs
    // several times in a run of a dozen files.
    transform.SetGroupLimits({.files = 4, .checkpointBytes = 0});
    int failed = 0;
    const std::vector<std::string> files(argv + 6, argv + argc);
    transform.ProcessFiles(
        files, key, [] { return false; },
        [&](std::size_t, const engine::TFileOutcome& outcome) {
            if (outcome.Result) return;
            std::fprintf(stderr, "%s\n", outcome.Error.c_str());
            ++failed;
        });
    transform.FinishJournal();
    for (const auto& notice : transform.Notices()) std::fprintf(stderr, "%s\n", notice.c_str());
    return failed == 0 && transform.Notices().empty() ? 0 : 1;
}
