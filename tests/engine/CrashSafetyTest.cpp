// Kills a job with SIGKILL at random moments and at chosen points between the steps of a toggle, then
// starts again: every video must be byte-identical to its state before the interrupted toggle or to
// the complete toggle. VELMORA_CRASH_KILLS sets the number of kills (a few dozen by default, for CI);
// VELMORA_CRASH_SEED repeats a run.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "EngineTestUtil.h"
#include "engine/journal/Recover.h"

extern char** environ;

using namespace enginetest;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

const char* const kStepNames[] = {"JournalRecorded", "TrailerAppended", "BlockWritten",
                                  "TrailerCut",      "VideoSynced",     "JournalDropped"};
constexpr int kFiles = 12;
const std::string kKey = "crash-key";

int envNumber(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::atoi(value) : fallback;
}

pid_t spawnChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, CRASH_CHILD_PATH, nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

// Exit code, or 128 + signal.
int waitChild(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

class CrashSafety : public ::testing::Test {
protected:
    void SetUp() override {
        journal_ = dir_.file("journal");
        std::mt19937 random(7);
        for (int i = 0; i < kFiles; ++i) {
            const auto path = dir_.file("video" + std::to_string(i) + ".mp4");
            const std::size_t size = kBlock * (1 + random() % 3) + random() % 3000;
            const auto plain = patternBytes(size, static_cast<std::uint32_t>(i + 1));
            // The two states a video may ever be in: plain and encrypted.
            writeFile(path, plain);
            process(path, flag(kKey, engine::ftBoth, 2));
            states_.push_back({plain, readFile(path)});
            if (i % 2 == 0) writeFile(path, plain);  // half start plain, half encrypted
            paths_.push_back(path);
        }
    }

    std::vector<std::string> toggleArgs(const std::string& step, int occurrence) const {
        std::vector<std::string> args = {"crash_child", "toggle", journal_,
                                         kKey,          step,     std::to_string(occurrence)};
        args.insert(args.end(), paths_.begin(), paths_.end());
        return args;
    }

    // Every video whole, in one of its two states; the journal empty.
    void expectEveryVideoWhole(const std::string& context) {
        for (int i = 0; i < kFiles; ++i) {
            const auto bytes = readFile(paths_[i]);
            EXPECT_TRUE(bytes == states_[i].first || bytes == states_[i].second)
                << context << ": " << paths_[i] << " is neither before nor after its toggle";
        }
        EXPECT_TRUE(platform::listFiles(journal_, engine::kJournalSuffix).empty()) << context;
    }

    int recoverInChild() { return waitChild(spawnChild({"crash_child", "recover", journal_})); }

    testsupport::TempDir dir_;
    std::string journal_;
    std::vector<std::string> paths_;
    std::vector<std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>>> states_;
};

}  // namespace

TEST_F(CrashSafety, EveryKillLeavesEachVideoWholeBeforeOrAfter) {
    const int kills = envNumber("VELMORA_CRASH_KILLS", 30);
    const auto seed =
        static_cast<unsigned>(envNumber("VELMORA_CRASH_SEED", static_cast<int>(std::random_device{}())));
    std::printf("crash test: %d kills, seed %u\n", kills, seed);
    std::mt19937 random(seed);

    // One undisturbed run: the harness itself works, and it gives the job's length for timed kills.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(waitChild(spawnChild(toggleArgs("none", 0))), 0);
    const auto jobTime = std::chrono::steady_clock::now() - start;
    for (int i = 0; i < kFiles; ++i)
        EXPECT_TRUE(readFile(paths_[i]) == (i % 2 == 0 ? states_[i].second : states_[i].first)) << paths_[i];

    int killedAtStep = 0, killedByTimer = 0;
    for (int round = 0; round < kills; ++round) {
        const std::string context = "round " + std::to_string(round) + ", seed " + std::to_string(seed);
        if (round % 2 == 0) {
            // At a chosen point between the steps.
            const std::string step = kStepNames[(round / 2) % 6];
            const int most = step == "BlockWritten" ? 20 : (step.rfind("Trailer", 0) == 0 ? 6 : kFiles);
            const int occurrence = 1 + static_cast<int>(random() % most);
            const int rc = waitChild(spawnChild(toggleArgs(step, occurrence)));
            ASSERT_TRUE(rc == 0 || rc == 128 + SIGKILL) << context << ": exit " << rc;
            killedAtStep += rc == 128 + SIGKILL;
        } else {
            // At a random moment.
            const auto delay =
                std::chrono::duration_cast<std::chrono::microseconds>(jobTime) * (random() % 1000) / 1000;
            const pid_t pid = spawnChild(toggleArgs("none", 0));
            ASSERT_GT(pid, 0);
            std::this_thread::sleep_for(delay);
            ::kill(pid, SIGKILL);
            killedByTimer += waitChild(pid) == 128 + SIGKILL;
            if (random() % 4 == 0) {
                // The recovery itself is killed too, and must be able to start over.
                const pid_t recovery = spawnChild({"crash_child", "recover", journal_});
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
                ::kill(recovery, SIGKILL);
                waitChild(recovery);
            }
        }
        ASSERT_EQ(recoverInChild(), 0) << context;
        expectEveryVideoWhole(context);
        if (HasFailure()) break;
    }
    std::printf("killed at a chosen step %d times, at a random moment %d times\n", killedAtStep,
                killedByTimer);
    EXPECT_GT(killedAtStep, kills / 4);
}
