// Cuts the power under a job at random moments, on a file system that then keeps an arbitrary subset
// of the unsynced sector writes, in any order: after recovery every video must be byte-identical to
// its state before its toggle or after it, and no entry may be left. VELMORA_POWER_CUTS sets the
// number of cuts (a few hundred by default, for CI); VELMORA_POWER_SEED repeats a run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "EngineTestUtil.h"
#include "engine/journal/Recover.h"
#include "support/PowerLossFileSystem.h"

using namespace engine;
using namespace enginetest;
using testsupport::patternBytes;
using testsupport::PowerLossFileSystem;

namespace {

const std::string kFolder = "/videos";
const std::string kJournal = "/data/Journal";
constexpr int kFiles = 16;
const std::string kKey = "power-key";

std::uint64_t envNumber(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoull(value, nullptr, 10) : fallback;
}

// Starts like the program: recovery first, then a job over every video with the journal on, in
// small groups so that a run holds several groups and checkpoints.
void runJob(PowerLossFileSystem& fs, const std::vector<std::string>& paths, const std::string& key = kKey,
            std::uint8_t fileType = ftBoth) {
    try {
        auto report = RecoverJournals(kJournal, fs, TDoneEntries::Keep);
        TFileTransform transform(flag(key, fileType, 2), true, fs);
        auto journal = TJournal::Create(kJournal, fs);
        journal->AdoptPending(std::move(report.Pending));
        transform.UseJournal(std::move(journal));
        transform.SetGroupLimits({.files = 4, .checkpointBytes = 60'000});
        transform.ProcessFiles(
            paths, key, [] { return false; }, [](std::size_t, const TFileOutcome&) {});
        transform.FinishJournal();
    } catch (const platform::FileError&) {
        // The power went while the journal was being made.
    }
}

class PowerLoss : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 random(11);
        // Plain and encrypted videos of one to three blocks and odd tails; the "after" state of each is
        // what an undisturbed job makes of it.
        for (int i = 0; i < kFiles; ++i) {
            const auto path = kFolder + "/video" + std::to_string(i) + ".mp4";
            const std::size_t size = kBlock * (1 + random() % 2) + random() % 3000;
            const auto plain = patternBytes(size, static_cast<std::uint32_t>(i + 1));
            PowerLossFileSystem scratch;
            scratch.Put(path, plain);
            TFileTransform(flag(kKey, ftBoth, 2), false, scratch).ProcessFile(path, kKey);
            before_.push_back(std::make_shared<const std::vector<std::uint8_t>>(
                i % 2 == 0 ? plain : scratch.Contents(path)));
            paths_.push_back(path);
        }
        PowerLossFileSystem clean = freshDisk();
        runJob(clean, paths_);
        for (int i = 0; i < kFiles; ++i) after_.push_back(clean.Contents(paths_[i]));
        changes_ = clean.Changes();
        syncs_ = clean.Syncs();
    }

    void cutMany(const char* defaultCuts, bool againInRecovery);

    PowerLossFileSystem freshDisk() const {
        PowerLossFileSystem fs;
        for (int i = 0; i < kFiles; ++i) fs.Put(paths_[i], before_[i]);
        return fs;
    }

    std::vector<std::string> paths_;
    std::vector<PowerLossFileSystem::Bytes> before_;
    std::vector<std::vector<std::uint8_t>> after_;
    std::int64_t changes_ = 0;
    std::int64_t syncs_ = 0;
};

}  // namespace

// Cuts the power `cuts` times at random points of the job; with `againInRecovery`, the power goes
// once more during each recovery, which must be able to start over.
void PowerLoss::cutMany(const char* defaultCuts, bool againInRecovery) {
    for (int i = 0; i < kFiles; ++i)
        ASSERT_NE(*before_[i], after_[i]) << "the undisturbed job toggles every video";
    const auto cuts = envNumber("VELMORA_POWER_CUTS", std::strtoull(defaultCuts, nullptr, 10));
    const auto seed = envNumber("VELMORA_POWER_SEED", std::random_device{}());
    std::printf("power-loss test: %llu cuts, seed %llu, %lld changes per job\n",
                static_cast<unsigned long long>(cuts), static_cast<unsigned long long>(seed),
                static_cast<long long>(changes_));
    std::mt19937_64 random(seed);
    int restored = 0, complete = 0;
    for (std::uint64_t round = 0; round < cuts; ++round) {
        const std::string context = "round " + std::to_string(round) + ", seed " + std::to_string(seed);
        PowerLossFileSystem disk = freshDisk();
        disk.FailAt(static_cast<std::int64_t>(1 + random() % static_cast<std::uint64_t>(changes_)));
        runJob(disk, paths_);
        ASSERT_TRUE(disk.PowerLost()) << context;
        auto next = disk.AfterPowerLoss(random);
        if (againInRecovery) {
            next->FailAt(static_cast<std::int64_t>(1 + random() % 40));
            try {
                RecoverJournals(kJournal, *next);
            } catch (const platform::FileError&) {
            }
            next = next->AfterPowerLoss(random);
        }
        const auto report = RecoverJournals(kJournal, *next);
        EXPECT_TRUE(report.Problems.empty()) << context << ": " << report.Problems.front();
        for (int i = 0; i < kFiles; ++i) {
            const auto& bytes = next->Contents(paths_[i]);
            EXPECT_TRUE(bytes == *before_[i] || bytes == after_[i])
                << context << ": " << paths_[i] << " is neither before nor after its toggle";
            complete += bytes == after_[i];
        }
        restored += static_cast<int>(report.Restored.size());
        EXPECT_TRUE(next->listFiles(kJournal, kJournalSuffix).empty()) << context;
        if (HasFailure()) break;
    }
    std::printf("videos restored by recovery: %d, videos found complete: %d\n", restored, complete);
    EXPECT_GT(restored, 0) << "the cuts never caught a toggle half done";
}

TEST_F(PowerLoss, EveryCutLeavesEachVideoWholeBeforeOrAfter) {
    // Durability is grouped: far fewer syncs than files.
    EXPECT_LE(syncs_, kFiles / 4 + 4);
    cutMany("120", false);
}

TEST_F(PowerLoss, ACutDuringRecoveryToo) {
    cutMany("120", true);
}

TEST_F(PowerLoss, AVideoListedAgainInALaterGroupLeavesEveryVideoWholeAtEveryCut) {
    // The second time video 0 comes up, the entries of the group being gathered must not be lost
    // to the checkpoint that settles its first toggle.
    std::vector<std::string> list(paths_.begin(), paths_.begin() + 6);
    list.push_back(paths_[0]);
    PowerLossFileSystem clean = freshDisk();
    runJob(clean, list);
    ASSERT_EQ(clean.Contents(paths_[0]), *before_[0]) << "toggled twice";
    const auto seed = envNumber("VELMORA_POWER_SEED", std::random_device{}());
    std::printf("power-loss test, a video listed twice: every one of %lld cuts, seed %llu\n",
                static_cast<long long>(clean.Changes()), static_cast<unsigned long long>(seed));
    std::mt19937_64 random(seed);
    for (std::int64_t cut = 1; cut <= clean.Changes(); ++cut) {
        PowerLossFileSystem disk = freshDisk();
        disk.FailAt(cut);
        runJob(disk, list);
        const auto next = disk.AfterPowerLoss(random);
        const auto report = RecoverJournals(kJournal, *next);
        EXPECT_TRUE(report.Problems.empty()) << "cut " << cut << ": " << report.Problems.front();
        for (int i = 0; i < 6; ++i) {
            const auto& bytes = next->Contents(paths_[i]);
            EXPECT_TRUE(bytes == *before_[i] || bytes == after_[i]) << "cut " << cut << ": " << paths_[i];
        }
        if (HasFailure()) break;
    }
}

TEST_F(PowerLoss, AJobInTheSameBootWritesBackAnEarlierToggleBeforeChangingItsVideoAgain) {
    // Run A decrypts the encrypted videos and leaves its entries done, its videos in the page cache
    // only. Run B starts in the same boot without waiting on the disk and encrypts half of them with
    // another key: three states of one video, which only the write-back before B's change keeps
    // apart. A cut anywhere in B leaves every video in one of them, with no entry left.
    PowerLossFileSystem clean = freshDisk();
    runJob(clean, paths_, kKey, ftOnlyEncrypted);
    std::vector<std::vector<std::uint8_t>> afterA(kFiles), afterB(kFiles);
    for (int i = 0; i < kFiles; ++i) afterA[i] = clean.Contents(paths_[i]);
    const std::int64_t changesOfA = clean.Changes();
    EXPECT_TRUE(RecoverJournals(kJournal, clean, TDoneEntries::Keep).Problems.empty());
    EXPECT_EQ(clean.Changes(), changesOfA) << "a start wrote or synced for entries already done";
    std::vector<std::string> touched;
    for (int i = 1; i < kFiles; i += 2) touched.push_back(paths_[i]);
    runJob(clean, touched, "another key", ftOnlyUnencrypted);
    EXPECT_EQ(clean.DiskSyncs(), 0) << "a start waited for the whole disk";
    for (int i = 0; i < kFiles; ++i) afterB[i] = clean.Contents(paths_[i]);
    const std::int64_t changesOfB = clean.Changes() - changesOfA;
    const auto seed = envNumber("VELMORA_POWER_SEED", std::random_device{}());
    std::printf("power-loss test, a later run in the same boot: every one of %lld cuts, seed %llu\n",
                static_cast<long long>(changesOfB), static_cast<unsigned long long>(seed));
    std::mt19937_64 random(seed);
    for (std::int64_t cut = 1; cut <= changesOfB; ++cut) {
        PowerLossFileSystem disk = freshDisk();
        runJob(disk, paths_, kKey, ftOnlyEncrypted);
        disk.FailAt(cut);
        runJob(disk, touched, "another key", ftOnlyUnencrypted);
        const auto next = disk.AfterPowerLoss(random);
        const auto report = RecoverJournals(kJournal, *next);
        EXPECT_TRUE(report.Problems.empty()) << "cut " << cut << ": " << report.Problems.front();
        for (int i = 0; i < kFiles; ++i) {
            const auto& bytes = next->Contents(paths_[i]);
            EXPECT_TRUE(bytes == *before_[i] || bytes == afterA[i] || bytes == afterB[i])
                << "cut " << cut << ": " << paths_[i] << " is in none of its three states";
        }
        EXPECT_TRUE(next->listFiles(kJournal, kJournalSuffix).empty()) << "cut " << cut;
        if (HasFailure()) break;
    }
}
