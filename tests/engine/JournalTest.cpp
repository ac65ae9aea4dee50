// The recovery journal in one process: what a dead toggle leaves behind is undone exactly, and
// nothing that is not provably ours is touched.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <filesystem>

#include "EngineTestUtil.h"
#include "engine/Journal.h"
#include "support/FaultyFileSystem.h"

using namespace engine;
using namespace enginetest;
using testsupport::FaultyFileSystem;
using testsupport::FileOp;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

std::size_t journalFiles(const std::string& folder) {
    return platform::listFiles(folder, kJournalSuffix).size();
}

// Leaves an entry behind as a process that died mid-toggle would: recorded, the video then changed,
// the journal never dropped.
void dieMidToggle(const std::string& folder, const std::string& video, TJournal::Operation op,
                  std::int64_t blocks, const std::function<void(platform::File&)>& damage) {
    auto journal = TJournal::Create(folder);
    std::vector<std::uint8_t> buffer(kBlock);
    auto file = platform::localFileSystem().open(video, platform::FileAccess::ReadWrite);
    journal->Record(*file, op, blocks, buffer);
    damage(*file);
}  // the journal keeps its entry: it was never dropped

}  // namespace

TEST(Journal, RecoveryUndoesAnInterruptedEncryptionOrDecryption) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    const auto plain = patternBytes(3 * kBlock + 777);
    writeFile(video, plain);
    const platform::FileTime old{1'300'000'000, 42};
    platform::localFileSystem().open(video, platform::FileAccess::Write)->setLastWriteTime(old);

    // Encryption died after the trailer and one and a half blocks.
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, 3, [](platform::File& f) {
        f.writeAt(f.size(), std::vector<std::uint8_t>(96, 0x11));
        f.writeAt(0, std::vector<std::uint8_t>(kBlock + kBlock / 2, 0x22));
    });
    EXPECT_EQ(journalFiles(journalFolder), 1u);
    auto report = RecoverJournals(journalFolder);
    EXPECT_EQ(report.Restored, std::vector<std::string>{video});
    EXPECT_TRUE(report.Problems.empty());
    EXPECT_EQ(readFile(video), plain);
    EXPECT_EQ(platform::localFileSystem().open(video, platform::FileAccess::Read)->lastWriteTime(), old);
    EXPECT_EQ(journalFiles(journalFolder), 0u);

    // Decryption died after all its blocks and the cut.
    process(video, flag("key"));
    const auto encrypted = readFile(video);
    dieMidToggle(journalFolder, video, TJournal::Operation::Decrypt, 3, [](platform::File& f) {
        f.writeAt(0, std::vector<std::uint8_t>(3 * kBlock, 0x33));
        f.setSize(f.size() - 96);
    });
    report = RecoverJournals(journalFolder);
    EXPECT_EQ(report.Restored.size(), 1u);
    EXPECT_EQ(readFile(video), encrypted);
}

TEST(Journal, EntriesOfALiveOwnerAreNotTouched) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    writeFile(video, patternBytes(kBlock * 2));
    auto journal = TJournal::Create(journalFolder);
    std::vector<std::uint8_t> buffer(kBlock);
    {
        auto file = platform::localFileSystem().open(video, platform::FileAccess::ReadWrite);
        journal->Record(*file, TJournal::Operation::Encrypt, 2, buffer);
        file->writeAt(0, std::vector<std::uint8_t>(10, 0));  // the owner is mid-toggle
    }
    const auto midToggle = readFile(video);
    const auto report = RecoverJournals(journalFolder);
    EXPECT_TRUE(report.Restored.empty());
    EXPECT_EQ(readFile(video), midToggle);
    EXPECT_EQ(journalFiles(journalFolder), 1u);
}

TEST(Journal, TornOrEmptyEntriesAreDiscardedWithoutTouchingTheVideo) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    const auto plain = patternBytes(kBlock * 2);
    writeFile(video, plain);
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, 2, [](platform::File&) {});
    const auto entry = platform::listFiles(journalFolder, kJournalSuffix).at(0);
    auto bytes = readFile(entry);

    for (const auto& damaged : {std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 1000),  // cut short
                                [&] {
                                    auto b = bytes;
                                    b[b.size() / 2] ^= 1;
                                    return b;
                                }(),  // a flipped bit
                                std::vector<std::uint8_t>{}}) {
        writeFile(entry, damaged);
        writeFile(video, std::vector<std::uint8_t>(kBlock * 2, 0x5A));  // must stay as it is
        const auto report = RecoverJournals(journalFolder);
        EXPECT_TRUE(report.Restored.empty());
        EXPECT_EQ(readFile(video), std::vector<std::uint8_t>(kBlock * 2, 0x5A));
        EXPECT_EQ(journalFiles(journalFolder), 0u);
    }
}

TEST(Journal, AnEntryForAMissingOrReplacedVideoIsKeptAndReported) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    writeFile(video, patternBytes(kBlock * 2));
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, 2, [](platform::File&) {});

    std::filesystem::rename(video, dir.file("moved.mp4"));
    auto report = RecoverJournals(journalFolder);
    EXPECT_TRUE(report.Restored.empty());
    ASSERT_EQ(report.Problems.size(), 1u);
    EXPECT_EQ(journalFiles(journalFolder), 1u) << "the original bytes are never thrown away";

    // Another file now under the old name: never written into.
    const auto stranger = patternBytes(kBlock * 2, 9);
    writeFile(video, stranger);
    report = RecoverJournals(journalFolder);
    EXPECT_TRUE(report.Restored.empty());
    EXPECT_EQ(report.Problems.size(), 1u);
    EXPECT_EQ(readFile(video), stranger);

    // Back where it was: restored.
    std::filesystem::rename(dir.file("moved.mp4"), video);
    report = RecoverJournals(journalFolder);
    EXPECT_EQ(report.Restored.size(), 1u);
    EXPECT_EQ(journalFiles(journalFolder), 0u);
}

TEST(Journal, ATransformWithAJournalLeavesNothingBehind) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    const auto plain = patternBytes(kBlock * 3 + 5);
    writeFile(video, plain);
    {
        TFileTransform transform(flag("key"), false);
        transform.UseJournal(TJournal::Create(journalFolder));
        std::vector<TToggleStep> steps;
        transform.SetStepHookForTesting([&](TToggleStep s) { steps.push_back(s); });
        EXPECT_EQ(transform.ProcessFile(video, "key").Outcome, TProcessOutcome::Encrypted);
        EXPECT_EQ(content(readFile(video)), expectedScramble(plain, "key", 3));
        EXPECT_EQ(steps, (std::vector<TToggleStep>{TToggleStep::JournalRecorded, TToggleStep::TrailerAppended,
                                                   TToggleStep::BlockWritten, TToggleStep::BlockWritten,
                                                   TToggleStep::BlockWritten, TToggleStep::VideoSynced,
                                                   TToggleStep::JournalDropped}));
        EXPECT_EQ(transform.ProcessFile(video, "key").Outcome, TProcessOutcome::Decrypted);
        EXPECT_EQ(readFile(video), plain);
        EXPECT_TRUE(RecoverJournals(journalFolder).Restored.empty()) << "a dropped entry is never undone";
    }
    EXPECT_EQ(journalFiles(journalFolder), 0u);
}

TEST(Journal, AJournalThatCannotBeWrittenLeavesTheVideoUntouched) {
    TempDir dir;
    const auto video = dir.file("clip.mp4");
    const auto plain = patternBytes(kBlock * 2);
    writeFile(video, plain);

    const auto notAFolder = dir.file("file-in-the-way");
    writeFile(notAFolder, {1});
    EXPECT_THROW(TJournal::Create(notAFolder), platform::FileError);

    // The journal's first write, and its sync, fail.
    for (const auto& fault : {FaultyFileSystem::Fault{FileOp::Write, 1, ENOSPC},
                              FaultyFileSystem::Fault{FileOp::Write, 2, ENOSPC, true},
                              FaultyFileSystem::Fault{FileOp::Sync, 1, EIO}}) {
        FaultyFileSystem fs(fault);
        TFileTransform transform(flag("key"), false, fs);
        transform.UseJournal(TJournal::Create(dir.file("journal"), fs));
        EXPECT_THROW(transform.ProcessFile(video, "key"), platform::FileError);
        EXPECT_EQ(readFile(video), plain);
    }
    EXPECT_TRUE(RecoverJournals(dir.file("journal")).Restored.empty());
}

TEST(Journal, AFailedSyncAfterTheCutPutsTheTrailerBack) {
    TempDir dir;
    const auto video = dir.file("clip.mp4");
    writeFile(video, patternBytes(kBlock * 2 + 9));
    process(video, flag("key"));
    const auto encrypted = readFile(video);

    FaultyFileSystem fs({FileOp::Sync, 2, EIO});  // 1 is the journal's, 2 the video's
    TFileTransform transform(flag("key"), false, fs);
    transform.UseJournal(TJournal::Create(dir.file("journal"), fs));
    EXPECT_THROW(transform.ProcessFile(video, "key"), platform::FileError);
    EXPECT_EQ(readFile(video), encrypted);
}
