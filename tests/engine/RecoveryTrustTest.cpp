// What recovery may write, and what it must not: a video is known by its path, inode and content,
// not by a device number; only the user's own journals are applied, and only to the user's videos.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "JournalTestUtil.h"
#include "engine/journal/Recover.h"
#include "support/FaultyFileSystem.h"
#include "support/OtherProcess.h"

using namespace engine;
using namespace enginetest;
using testsupport::FaultyFileSystem;
using testsupport::FileOp;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

constexpr uid_t kStranger = 12345;

// A video half-encrypted by a run that died: recovery would write to it if it took the entry.
struct HalfChanged {
    TempDir dir;
    std::string folder = dir.file("journal");
    std::string video = dir.file("clip.mp4");
    std::vector<std::uint8_t> plain = patternBytes(kBlock * 2 + 300);
    std::vector<std::uint8_t> half;

    HalfChanged() {
        writeFile(video, plain);
        dieMidToggle(folder, video, TJournal::Operation::Encrypt, "k", 2, [](platform::File& f) {
            f.writeAt(f.size(), trailerFor("k", 8));
            transformSectors(f, "k", 0, 0, 1024);
            transformSectors(f, "k", 1, 0, 100);
        });
        half = readFile(video);
    }
    std::string journal() const { return platform::listFiles(folder, kJournalSuffix).at(0); }
};

// What a job's start does after recovery has to leave an entry waiting: its journal knows that entry.
std::unique_ptr<TJournal> startJob(const std::string& folder,
                                   platform::FileSystem& fs = platform::localFileSystem()) {
    auto report = RecoverJournals(folder, fs);
    EXPECT_EQ(report.Pending.size(), 1u) << "the entry waits for its video";
    auto journal = TJournal::Create(folder, fs);
    journal->AdoptPending(std::move(report.Pending));
    return journal;
}

}  // namespace

TEST(RecoveryTrust, AVideoWhoseDiskCameBackUnderAnotherDeviceNumberIsRestored) {
    // Same path, same inode, another st_dev: a USB disk attached again, a remounted subvolume.
    {
        HalfChanged scene;
        FaultyFileSystem moved;
        moved.ShiftDevices(7);
        const auto report = RecoverJournals(scene.folder, moved);
        EXPECT_EQ(report.Restored, std::vector<std::string>{scene.video});
        EXPECT_EQ(readFile(scene.video), scene.plain);
    }
    // Renamed as well: recovery cannot find it, and a job that meets it settles it before anything.
    HalfChanged scene;
    const auto renamed = scene.dir.file("renamed.mp4");
    std::filesystem::rename(scene.video, renamed);
    FaultyFileSystem moved;
    moved.ShiftDevices(7);
    TFileTransform transform(flag("k"), false, moved);
    transform.UseJournal(startJob(scene.folder, moved));
    EXPECT_EQ(transform.ProcessFile(renamed, "k").Outcome, TProcessOutcome::Encrypted);
    EXPECT_EQ(content(readFile(renamed)), expectedScramble(scene.plain, "k", 2))
        << "toggled from the original";
    transform.FinishJournal();
    EXPECT_TRUE(transform.PendingProblems().empty());
}

TEST(RecoveryTrust, OnlyTheUsersOwnJournalsAreAppliedToTheUsersOwnVideos) {
    // Each forgery leaves a valid entry (its checksum is right) aimed at a decoy that it would rewrite.
    struct Case {
        const char* name;
        std::function<void(HalfChanged&)> forge;
    };
    const Case cases[] = {
        {"a journal another user owns",
         [](HalfChanged& s) { ASSERT_EQ(::chown(s.journal().c_str(), kStranger, kStranger), 0); }},
        {"a journal others may write",
         [](HalfChanged& s) { ASSERT_EQ(::chmod(s.journal().c_str(), 0666), 0); }},
        {"a journal that is a link",
         [](HalfChanged& s) {
             const auto real = s.dir.file("elsewhere.vjournal");
             std::filesystem::rename(s.journal(), real);
             std::filesystem::create_symlink(real, s.folder + "/1-1.vjournal");
         }},
        {"a folder that is a link",
         [](HalfChanged& s) {
             std::filesystem::rename(s.folder, s.dir.file("real-journal"));
             std::filesystem::create_symlink(s.dir.file("real-journal"), s.folder);
         }},
        {"a video that another user owns now",
         [](HalfChanged& s) { ASSERT_EQ(::chown(s.video.c_str(), kStranger, kStranger), 0); }},
    };
    for (const auto& c : cases) {
        HalfChanged scene;
        c.forge(scene);
        const auto report = RecoverJournals(scene.folder);
        EXPECT_TRUE(report.Restored.empty()) << c.name;
        EXPECT_FALSE(report.Problems.empty()) << c.name;
        EXPECT_EQ(readFile(scene.video), scene.half) << c.name << ": the decoy was written";
    }
    // Met under another name by a job: refused, not settled, once another user owns it.
    {
        HalfChanged scene;
        const auto renamed = scene.dir.file("renamed.mp4");
        std::filesystem::rename(scene.video, renamed);
        auto journal = startJob(scene.folder);
        ASSERT_EQ(::chown(renamed.c_str(), kStranger, kStranger), 0);
        auto file = platform::localFileSystem().open(renamed, platform::FileAccess::ReadWrite);
        EXPECT_THROW(journal->SettlePending(*file), platform::FileError);
        file.reset();
        EXPECT_EQ(readFile(renamed), scene.half);
    }
    // Our own folder left open to others by an earlier version is closed; our journals in it apply.
    {
        HalfChanged scene;
        ASSERT_EQ(::chmod(scene.folder.c_str(), 0777), 0);
        EXPECT_EQ(RecoverJournals(scene.folder).Restored.size(), 1u);
        struct stat st {};
        ASSERT_EQ(::stat(scene.folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(readFile(scene.video), scene.plain);
    }
    // The development format held the original bytes themselves: never replayed, set aside.
    HalfChanged scene;
    std::vector<std::uint8_t> development(4096, 0x41);
    std::copy_n("VMJRNL01", 8, development.begin());
    writeFile(scene.folder + "/9-9.vjournal", development);
    ASSERT_EQ(::chmod((scene.folder + "/9-9.vjournal").c_str(), 0600), 0);
    const auto report = RecoverJournals(scene.folder);
    EXPECT_TRUE(std::filesystem::exists(scene.folder + "/9-9.vjournal.damaged"));
    EXPECT_TRUE(std::any_of(report.Problems.begin(), report.Problems.end(),
                            [](const std::string& p) { return p.find("development") != std::string::npos; }));
    EXPECT_EQ(readFile(scene.video), scene.plain) << "the real entry beside it still applies";
}

TEST(RecoveryTrust, AFileThatIsNotTheOneRecordedIsNeverWritten) {
    // A copy of the half-changed video now at its path: the same bytes, another inode.
    {
        HalfChanged scene;
        writeFile(scene.dir.file("copy.mp4"), scene.half);
        std::filesystem::rename(scene.dir.file("copy.mp4"), scene.video);
        const auto report = RecoverJournals(scene.folder);
        EXPECT_TRUE(report.Restored.empty());
        EXPECT_EQ(readFile(scene.video), scene.half);
        EXPECT_EQ(report.Pending.size(), 1u);
    }
    // The same file grown or cut by bytes no toggle writes.
    for (const std::int64_t change : {-1, 1, 97, 500}) {
        HalfChanged scene;
        auto bytes = scene.half;
        bytes.resize(static_cast<std::size_t>(static_cast<std::int64_t>(scene.plain.size()) + 96 + change),
                     0x33);
        auto f = platform::localFileSystem().open(scene.video, platform::FileAccess::ReadWrite);
        f->setSize(static_cast<std::int64_t>(bytes.size()));
        f->writeAt(0, bytes);
        f.reset();
        const auto report = RecoverJournals(scene.folder);
        EXPECT_TRUE(report.Restored.empty()) << change;
        EXPECT_EQ(readFile(scene.video), bytes) << change;
    }
}

TEST(RecoveryTrust, AVideoFoundWholeIsOnTheDiskBeforeItsPendingEntryGoes) {
    TempDir dir;
    const auto folder = dir.file("journal");
    const auto video = dir.file("clip.mp4");
    writeFile(video, patternBytes(kBlock * 2 + 1));
    // The toggle completed but the video was not yet durable when the run died.
    dieMidToggle(folder, video, TJournal::Operation::Encrypt, "k", 2, [](platform::File& f) {
        f.writeAt(f.size(), trailerFor("k", 8));
        for (int b = 0; b < 2; ++b) transformSectors(f, "k", b, 0, 1024);
    });
    const auto renamed = dir.file("renamed.mp4");
    std::filesystem::rename(video, renamed);
    FaultyFileSystem counting;
    auto journal = startJob(folder, counting);
    auto file = counting.open(renamed, platform::FileAccess::ReadWrite);
    const int syncsBefore = counting.calls(FileOp::Sync);
    EXPECT_FALSE(journal->SettlePending(*file));
    EXPECT_GE(counting.calls(FileOp::Sync), syncsBefore + 1) << "the entry went before the video was durable";
    journal->WriteBackDone();  // the job's end lets go of the journals it settled entries of
    EXPECT_EQ(platform::listFiles(folder, kJournalSuffix).size(), 1u) << "only our own journal is left";
}

TEST(RecoveryTrust, AnotherProgramOpeningTheVideoWhileItsEntryIsReadGetsItAtOnce) {
    TempDir dir;
    const auto video = dir.file("stream.ts");
    const auto plain = patternBytes(kBlock * 6);
    writeFile(video, plain);
    auto journal = TJournal::Create(dir.file("journal"));
    auto file = platform::localFileSystem().open(video, platform::FileAccess::ReadWrite);
    std::vector<std::uint8_t> buffer(kBlock);
    pid_t player = -1;
    const auto goOn = [&](std::int64_t read) {
        if (read != 1) return true;
        player = testsupport::spawnShell(R"(cat "$1" > /dev/null)", {video});
        // Its open waits for our lease to break; go on once the kernel says so.
        for (int i = 0; i < 500 && !file->contended(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
    };
    try {
        journal->Record(*file, {TJournal::Operation::Encrypt, 6, "k", trailerFor("k", 6), false, goOn},
                        buffer);
        ADD_FAILURE() << "the whole range was read while another program waited";
    } catch (const platform::FileError& error) {
        EXPECT_EQ(error.path(), video);
        EXPECT_EQ(error.errorNumber(), EBUSY);
    }
    file.reset();
    ASSERT_GE(player, 0);
    EXPECT_EQ(testsupport::waitExit(player), 0);
    EXPECT_EQ(readFile(video), plain);
}
