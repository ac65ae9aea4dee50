// The recovery journal in one process: what a dead toggle leaves behind is undone exactly, and
// nothing that is not provably ours is touched.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <atomic>
#include <filesystem>
#include <thread>

#include "JournalTestUtil.h"
#include "engine/journal/Recover.h"
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

platform::FileTime timeOf(const std::string& path) {
    return platform::localFileSystem().open(path, platform::FileAccess::Read)->lastWriteTime();
}

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
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, "key", 3, [](platform::File& f) {
        f.writeAt(f.size(), trailerFor("key", 8));
        transformSectors(f, "key", 0, 0, 1024);
        transformSectors(f, "key", 1, 0, 512);
    });
    EXPECT_EQ(journalFiles(journalFolder), 1u);
    auto report = RecoverJournals(journalFolder);
    EXPECT_EQ(report.Restored, std::vector<std::string>{video});
    EXPECT_TRUE(report.Problems.empty());
    EXPECT_EQ(readFile(video), plain);
    EXPECT_EQ(timeOf(video), old);
    EXPECT_EQ(journalFiles(journalFolder), 0u);

    // Decryption of a keyless file died after all its blocks, the cut not yet made; then again with
    // the cut made but a block not yet written.
    process(video, flag(""));
    const auto encrypted = readFile(video);
    for (const bool cut : {false, true}) {
        dieMidToggle(journalFolder, video, TJournal::Operation::Decrypt, "", 3, [cut](platform::File& f) {
            for (int b = 0; b < (cut ? 2 : 3); ++b) transformSectors(f, "", b, 0, 1024);
            if (cut) f.setSize(f.size() - 96);
        });
        report = RecoverJournals(journalFolder);
        EXPECT_EQ(report.Restored.size(), 1u);
        EXPECT_EQ(readFile(video), encrypted);
    }
}

TEST(Journal, UntouchedOrCompleteVideosAreLeftAsTheyAreAndTheirEntriesDropped) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    const auto plain = patternBytes(2 * kBlock + 5);
    writeFile(video, plain);
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, "k", 2, [](platform::File&) {});
    auto report = RecoverJournals(journalFolder);
    EXPECT_TRUE(report.Restored.empty() && report.Problems.empty());
    EXPECT_EQ(readFile(video), plain);
    EXPECT_EQ(journalFiles(journalFolder), 0u);

    // The whole toggle landed: the video stays encrypted.
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, "k", 2, [](platform::File& f) {
        f.writeAt(f.size(), trailerFor("k", 8));
        for (int b = 0; b < 2; ++b) transformSectors(f, "k", b, 0, 1024);
    });
    const auto complete = readFile(video);
    EXPECT_EQ(content(complete), expectedScramble(plain, "k", 2));
    report = RecoverJournals(journalFolder);
    EXPECT_TRUE(report.Restored.empty() && report.Problems.empty());
    EXPECT_EQ(readFile(video), complete);
    EXPECT_EQ(journalFiles(journalFolder), 0u);
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
        journal->Record(*file, {TJournal::Operation::Encrypt, 2, "k", trailerFor("k", 8), false}, buffer);
        journal->Commit();
        transformSectors(*file, "k", 0, 0, 100);  // the owner is mid-toggle
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
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, "k", 2, [](platform::File&) {});
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
    const auto plain = patternBytes(kBlock * 2);
    writeFile(video, plain);
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, "k", 2,
                 [](platform::File& f) { transformSectors(f, "k", 0, 0, 300); });

    std::filesystem::rename(video, dir.file("moved.mp4"));
    auto report = RecoverJournals(journalFolder);
    EXPECT_TRUE(report.Restored.empty());
    ASSERT_EQ(report.Problems.size(), 1u);
    EXPECT_EQ(report.Pending.size(), 1u);
    EXPECT_EQ(journalFiles(journalFolder), 1u) << "an entry is never thrown away while it may be needed";

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
    EXPECT_EQ(readFile(video), plain);
    EXPECT_EQ(journalFiles(journalFolder), 0u);
}

// The same file (same device and inode) whose content or size is no state the toggle can produce is
// never written: not a file shrunk below a block, not one whose bytes were replaced in place.
TEST(Journal, AFileThatMatchesNeitherBeforeNorAfterIsNeverWritten) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    writeFile(video, patternBytes(kBlock * 2 + 40));
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, "k", 2,
                 [](platform::File& f) { transformSectors(f, "k", 1, 0, 10); });

    const auto rewrite = [&](const std::vector<std::uint8_t>& bytes) {  // same inode
        auto f = platform::localFileSystem().open(video, platform::FileAccess::ReadWrite);
        f->setSize(static_cast<std::int64_t>(bytes.size()));
        f->writeAt(0, bytes);
    };
    for (const auto& foreign : {patternBytes(1221, 3), patternBytes(kBlock * 2 + 40, 4), [] {
                                    auto b = patternBytes(kBlock * 2 + 40);
                                    b[kBlock + 700] ^= 0x10;  // one byte in a sector the toggle never wrote
                                    return b;
                                }()}) {
        rewrite(foreign);
        const auto report = RecoverJournals(journalFolder);
        EXPECT_TRUE(report.Restored.empty());
        EXPECT_EQ(report.Problems.size(), 1u);
        EXPECT_EQ(readFile(video), foreign);
        EXPECT_EQ(journalFiles(journalFolder), 1u);
    }
}

TEST(Journal, TwoEntriesForOneVideoAreAppliedNewestFirst) {
    // A toggle that completed but was not yet durable when a second toggle of the same video, from
    // another process, was cut short: the video must come back as the second toggle found it.
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    const auto plain = patternBytes(kBlock * 2 + 3);
    writeFile(video, plain);
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, "k", 2, [](platform::File& f) {
        f.writeAt(f.size(), trailerFor("k", 8));
        for (int b = 0; b < 2; ++b) transformSectors(f, "k", b, 0, 1024);
    });
    const auto encrypted = readFile(video);
    dieMidToggle(journalFolder, video, TJournal::Operation::Decrypt, "k", 2, [](platform::File& f) {
        transformSectors(f, "k", 0, 0, 1024);
        transformSectors(f, "k", 1, 0, 200);
    });
    ASSERT_EQ(journalFiles(journalFolder), 2u);
    const auto report = RecoverJournals(journalFolder);
    EXPECT_TRUE(report.Problems.empty()) << report.Problems.front();
    EXPECT_EQ(readFile(video), encrypted) << "the older entry overwrote the state the newer one restored";
    EXPECT_EQ(journalFiles(journalFolder), 0u);
}

TEST(Journal, AJournalIsNeverSeenUnlockedByAnotherRecovery) {
    // Another process's start-up recovery runs all the while journals are being created: none of
    // them may be taken for abandoned and removed.
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    platform::makeFolder(journalFolder);
    std::atomic<bool> done{false};
    std::thread other([&] {
        while (!done) RecoverJournals(journalFolder);
    });
    int lost = 0;
    for (int i = 0; i < 300; ++i) {
        auto journal = TJournal::Create(journalFolder);
        lost += std::filesystem::exists(journal->path()) ? 0 : 1;
    }
    done = true;
    other.join();
    EXPECT_EQ(lost, 0);
    EXPECT_TRUE(platform::listFiles(journalFolder, ".vjournal-new").empty());
}

TEST(Journal, AJournalFileTooLargeToBeOneIsSetAsideAtOnce) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    platform::makeFolder(journalFolder);
    const auto huge = journalFolder + "/1-1.vjournal";
    writeFile(huge, {});
    {
        auto f = platform::localFileSystem().open(huge, platform::FileAccess::ReadWrite);
        try {
            f->setSize(std::int64_t{1} << 50);  // 1 PiB, sparse
        } catch (const platform::FileError&) {
            f->setSize(std::int64_t{1} << 43);  // file systems that stop at 16 TiB
        }
    }
    const auto report = RecoverJournals(journalFolder);
    ASSERT_EQ(report.Problems.size(), 1u);
    EXPECT_NE(report.Problems[0].find("set aside"), std::string::npos);
    EXPECT_EQ(journalFiles(journalFolder), 0u);
    EXPECT_TRUE(RecoverJournals(journalFolder).Problems.empty()) << "told once, not at every start";
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
                                                   TToggleStep::BlockWritten}));
        EXPECT_EQ(transform.ProcessFile(video, "key").Outcome, TProcessOutcome::Decrypted);
        EXPECT_EQ(readFile(video), plain);
        EXPECT_TRUE(RecoverJournals(journalFolder).Restored.empty()) << "a live journal is never undone";
        transform.FinishJournal();
    }
    // Left for the next recovery, which finds both toggles done and only makes them durable.
    const auto report = RecoverJournals(journalFolder);
    EXPECT_TRUE(report.Restored.empty() && report.Problems.empty());
    EXPECT_EQ(readFile(video), plain);
    EXPECT_EQ(journalFiles(journalFolder), 0u);
}

TEST(Journal, AJournalThatCannotBeWrittenLeavesTheVideoUntouchedAndSaysWhyOnce) {
    TempDir dir;
    const auto video = dir.file("clip.mp4");
    const auto plain = patternBytes(kBlock * 2);
    writeFile(video, plain);

    const auto notAFolder = dir.file("file-in-the-way");
    writeFile(notAFolder, {1});
    EXPECT_THROW(TJournal::Create(notAFolder), platform::FileError);

    // The journal's first write, a part of it, and its sync fail.
    for (const auto& fault : {FaultyFileSystem::Fault{FileOp::Write, 1, ENOSPC, false, true},
                              FaultyFileSystem::Fault{FileOp::Write, 1, ENOSPC, true, true},
                              FaultyFileSystem::Fault{FileOp::Sync, 1, EIO, false, true}}) {
        FaultyFileSystem fs(fault, ".vjournal");
        TFileTransform transform(flag("key"), false, fs);
        auto journal = TJournal::Create(dir.file("journal") + "/", fs);  // as the settings give it
        const std::string journalPath = journal->path();
        transform.UseJournal(std::move(journal));
        EXPECT_THROW(transform.ProcessFile(video, "key"), platform::FileError);
        EXPECT_THROW(transform.ProcessFile(video, "key"), platform::FileError);
        EXPECT_EQ(readFile(video), plain);
        ASSERT_EQ(transform.Notices().size(), 1u) << "told once, however many files it refused";
        // It names the journal as it exists: its final name, one slash.
        EXPECT_NE(transform.Notices()[0].find(journalPath + ":"), std::string::npos)
            << transform.Notices()[0];
        EXPECT_EQ(journalPath, dir.file("journal") + journalPath.substr(journalPath.rfind('/')));
    }
    EXPECT_TRUE(RecoverJournals(dir.file("journal")).Restored.empty());
}

TEST(Journal, AFailedCheckpointLeavesTheToggledVideoCountedAndSaysSo) {
    TempDir dir;
    const auto video = dir.file("clip.mp4");
    const auto plain = patternBytes(kBlock * 2 + 9);
    writeFile(video, plain);
    process(video, flag("key"));
    const auto encrypted = readFile(video);

    // Marking the entry done at the end fails: the toggle itself is complete and must count as done.
    FaultyFileSystem fs({FileOp::Write, 2, EIO, false, true}, ".vjournal");
    TFileTransform transform(flag("key"), false, fs);
    transform.UseJournal(TJournal::Create(dir.file("journal"), fs));
    EXPECT_EQ(transform.ProcessFile(video, "key").Outcome, TProcessOutcome::Decrypted);
    transform.FinishJournal();
    EXPECT_EQ(readFile(video), plain);
    ASSERT_EQ(transform.Notices().size(), 1u);
    // The entry left behind finds the video complete: nothing is undone.
    const auto report = RecoverJournals(dir.file("journal"));
    EXPECT_TRUE(report.Restored.empty() && report.Problems.empty());
    EXPECT_EQ(readFile(video), plain);
}

TEST(Journal, AVideoMetUnderAnotherNameIsSettledBeforeItIsToggled) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    const auto plain = patternBytes(kBlock * 2 + 11);
    writeFile(video, plain);
    // Given by a relative path from another folder: the entry still names the file itself.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    dieMidToggle(journalFolder, "clip.mp4", TJournal::Operation::Encrypt, "k", 2,
                 [](platform::File& f) { transformSectors(f, "k", 0, 0, 700); });
    std::filesystem::current_path(cwd);
    auto report = RecoverJournals(journalFolder);
    EXPECT_EQ(report.Restored, std::vector<std::string>{video});
    EXPECT_EQ(readFile(video), plain);

    // Renamed after the crash: recovery cannot find it, and the next run must not toggle it as whole.
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, "k", 2,
                 [](platform::File& f) { transformSectors(f, "k", 1, 100, 900); });
    const auto renamed = dir.file("renamed.mp4");
    std::filesystem::rename(video, renamed);
    report = RecoverJournals(journalFolder);
    ASSERT_EQ(report.Pending.size(), 1u);
    TFileTransform transform(flag("k"), false);
    auto journal = TJournal::Create(journalFolder);
    journal->AdoptPending(report.Pending);
    transform.UseJournal(std::move(journal));
    EXPECT_EQ(transform.ProcessFile(renamed, "k").Outcome, TProcessOutcome::Encrypted);
    EXPECT_EQ(content(readFile(renamed)), expectedScramble(plain, "k", 2));
    ASSERT_EQ(transform.Notices().size(), 1u);
    EXPECT_NE(transform.Notices()[0].find("restored"), std::string::npos);
    transform.FinishJournal();
    EXPECT_TRUE(RecoverJournals(journalFolder).Restored.empty());
    EXPECT_EQ(journalFiles(journalFolder), 0u);
}

TEST(Journal, APendingEntryThatCannotBeAppliedRefusesTheVideo) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    writeFile(video, patternBytes(kBlock * 2));
    dieMidToggle(journalFolder, video, TJournal::Operation::Encrypt, "k", 2,
                 [](platform::File& f) { f.writeAt(5, std::vector<std::uint8_t>(3, 0)); });  // a torn sector
    const auto renamed = dir.file("renamed.mp4");
    std::filesystem::rename(video, renamed);
    const auto torn = readFile(renamed);
    auto report = RecoverJournals(journalFolder);
    TFileTransform transform(flag("k"), false);
    auto journal = TJournal::Create(journalFolder);
    journal->AdoptPending(report.Pending);
    transform.UseJournal(std::move(journal));
    EXPECT_THROW(transform.ProcessFile(renamed, "k"), platform::FileError);
    EXPECT_EQ(readFile(renamed), torn);
}

TEST(Journal, AFailedUndoIsNeverRecordedAgainInTheSameRun) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    writeFile(video, patternBytes(kBlock * 2));
    // The second block's write fails, and so does every later write to the video (the undo's too).
    FaultyFileSystem fs({FileOp::Write, 2, EIO, false, true}, "clip.mp4");
    {
        TFileTransform transform(flag("k"), false, fs);
        transform.UseJournal(TJournal::Create(journalFolder, fs));
        EXPECT_THROW(transform.ProcessFile(video, "k"), TransformError);
        EXPECT_THROW(transform.ProcessFile(video, "k"), TransformError) << "a second entry for the video";
    }
    ASSERT_EQ(journalFiles(journalFolder), 1u) << "the entry outlives the run";
    const auto report = RecoverJournals(journalFolder);
    EXPECT_EQ(report.Restored, std::vector<std::string>{video});
    EXPECT_EQ(readFile(video), patternBytes(kBlock * 2));
}
