#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

#include "EngineTestUtil.h"
#include "JobTestUtil.h"
#include "JournalTestUtil.h"
#include "engine/JobSetUp.h"
#include "engine/KZVThread.h"
#include "engine/journal/Recover.h"
#include "platform/Utility.h"
#include "support/FaultyFileSystem.h"

using namespace engine;
using enginetest::flag;
using enginetest::kBlock;
using jobtest::GateFileSystem;
using jobtest::Message;
using jobtest::Recorder;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using Messages = std::vector<Message>;

namespace {

Message progress(std::size_t i, std::size_t n) {
    return {WM_JOB_PROGRESS, TJobProgress{i, n}};
}
Message counts(std::size_t e, std::size_t d) {
    return {WM_JOB_COUNTS, TJobCounts{e, d}};
}
Message failedSize(std::size_t f, std::uint32_t mib) {
    return {WM_JOB_FAILEDSIZE, TJobFailedSize{f, mib}};
}
Message finished(bool canceled) {
    return {WM_JOB_FINISHED, TJobFinished{canceled}};
}
Message searching(std::size_t found) {
    return {WM_JOB_SEARCHING, TJobSearching{found}};
}

std::vector<std::string> makeFiles(const TempDir& dir, int count, std::size_t size) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(dir.file("clip" + std::to_string(i) + ".mp4"));
        writeFile(paths.back(), patternBytes(size, static_cast<std::uint32_t>(i)));
    }
    return paths;
}

// A video of `size` bytes at `path` under `dir`, its folders made as needed.
std::string makeFile(const TempDir& dir, const std::string& path, std::size_t size) {
    const std::string file = dir.file(path);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    writeFile(file, patternBytes(size, static_cast<std::uint32_t>(path.size())));
    return file;
}

// Terminated at the given entry of its search, as the window's run button would.
class StoppedWhileSearching final : public TKZVThread {
public:
    explicit StoppedWhileSearching(int entry) : entry_(entry) {}

protected:
    bool SearchGoesOn(std::size_t found) override {
        if (++entries_ == entry_) Terminate();
        return TKZVThread::SearchGoesOn(found);
    }

private:
    int entry_;
    int entries_ = 0;
};

void fill(TKZVThread& job, Recorder& window, std::vector<std::string> files, TKZVFlag params = flag()) {
    job.FileList = std::move(files);
    job.Params = std::move(params);
    job.Params.NotifyWnd = &window;
}

}  // namespace

TEST(TKZVThread, ThreeMessagesAfterEveryFileInOrderAndAFailureInTheMiddle) {
    TempDir dir;
    auto files = makeFiles(dir, 3, 2 * kBlock);
    files[1] = dir.file("missing.mp4");
    Recorder window;
    TKZVThread job;
    fill(job, window, files);
    EXPECT_FALSE(job.Running());
    job.Resume();
    ASSERT_TRUE(window.waitFinished());

    const std::uint32_t mib1 = (2 * kBlock + 96) / 1'048'576;
    const std::uint32_t mib2 = 2 * (2 * kBlock + 96) / 1'048'576;
    EXPECT_EQ(window.messages, (Messages{progress(0, 3), counts(1, 0), failedSize(0, mib1),  //
                                         progress(1, 3), counts(1, 0), failedSize(1, mib1),  //
                                         progress(2, 3), counts(2, 0), failedSize(1, mib2),  //
                                         finished(false)}));
    EXPECT_EQ(job.EncryptedList, (std::vector<std::string>{files[0], files[2]}));
    EXPECT_TRUE(job.DecryptedList.empty());
    // The reason is the system's, without the path that the list shows beside it.
    EXPECT_EQ(job.FailedList, (std::vector<TFailedFile>{{files[1], kErrorIo, std::strerror(ENOENT)}}));
    EXPECT_EQ(job.TotalBytes, 2 * static_cast<std::int64_t>(2 * kBlock + 96));
    EXPECT_LT(job.Ticks, 20'000u) << "Ticks holds the elapsed time, not the start";
    ASSERT_TRUE(job.wait(5000));
    EXPECT_FALSE(job.Running());
    EXPECT_TRUE(IsEncryptedFile(files[0]));
}

TEST(TKZVThread, OutcomesLandInTheirListsAndSkippedFilesStillReport) {
    TempDir dir;
    const auto files = makeFiles(dir, 4, kBlock);
    writeFile(files[3], patternBytes(kBlock - 1));  // too small
    {  // encrypt the first two with a key, one of them twice: a listed file is toggled again
        Recorder window;
        TKZVThread job;
        fill(job, window, {files[0], files[1], files[1]}, flag("key"));
        job.Resume();
        ASSERT_TRUE(window.waitFinished());
        EXPECT_EQ(job.EncryptedList, (std::vector<std::string>{files[0], files[1]}));
        EXPECT_EQ(job.DecryptedList, std::vector<std::string>{files[1]});
    }
    Recorder window;
    TKZVThread job;
    // Only encrypted files: file 2 (plain) is skipped, file 3 (too small) too, file 0 has another key.
    fill(job, window, {files[2], files[0], files[3]}, flag("KEY", ftOnlyEncrypted));
    job.Resume();
    ASSERT_TRUE(window.waitFinished());
    EXPECT_EQ(window.messages, (Messages{progress(0, 3), counts(0, 0), failedSize(0, 0),  //
                                         progress(1, 3), counts(0, 0), failedSize(1, 0),  //
                                         progress(2, 3), counts(0, 0), failedSize(1, 0),  //
                                         finished(false)}));
    EXPECT_EQ(job.FailedList, (std::vector<TFailedFile>{{files[0], kErrorWrongKey}}));
    EXPECT_EQ(job.TotalBytes, 0);

    Recorder window2;
    TKZVThread both;
    fill(both, window2, {files[3]});
    both.Resume();
    ASSERT_TRUE(window2.waitFinished());
    EXPECT_EQ(both.FailedList, (std::vector<TFailedFile>{{files[3], kErrorTooSmall}}));
}

TEST(TKZVThread, SizeIsReportedInWholeMebibytesRoundedDown) {
    TempDir dir;
    for (const auto& [size, mib] :
         {std::pair{std::size_t{1'048'479}, 0u}, std::pair{std::size_t{1'048'480}, 1u}}) {
        const auto path = dir.file("clip.mp4");
        writeFile(path, patternBytes(size));
        Recorder window;
        TKZVThread job;
        fill(job, window, {path});
        job.Resume();
        ASSERT_TRUE(window.waitFinished());
        EXPECT_EQ(job.TotalBytes, static_cast<std::int64_t>(size + 96));
        EXPECT_EQ(window.messages.at(2), failedSize(0, mib)) << job.TotalBytes << " bytes";
    }
}

TEST(TKZVThread, AnEmptyListFinishesAtOnce) {
    Recorder window;
    TKZVThread job;
    fill(job, window, {});
    job.Resume();
    ASSERT_TRUE(window.waitFinished());
    EXPECT_EQ(window.messages, Messages{finished(false)});
    EXPECT_EQ(job.TotalBytes, 0);
    EXPECT_LT(job.Ticks, 1000u);
}

// A job given folders finds their videos itself, on its thread, before it touches any: the window
// hears how many so far and then the total, and the folders it could not read count as failed.
TEST(TKZVThread, AJobGivenFoldersSearchesThemFirstAndTellsHowManyItFound) {
    TempDir dir;
    const std::string a0 = makeFile(dir, "a/clip0.mp4", 2 * kBlock);
    makeFile(dir, "a/notes.txt", 2 * kBlock);
    const std::string a1 = makeFile(dir, "a/sub/clip1.mkv", 2 * kBlock);
    const std::string b0 = makeFile(dir, "b/clip2.avi", 2 * kBlock);
    const std::string below = makeFile(dir, "b/deeper/clip3.mp4", 2 * kBlock);
    Recorder window;
    TKZVThread job;
    fill(job, window, {});
    job.SearchFolders = {{dir.file("a"), true}, {dir.file("b"), false}, {dir.file("missing"), true}};
    job.Params.VideoMask = "*.mp4;*.mkv;*.avi";
    job.Resume();
    ASSERT_TRUE(window.waitFinished());

    EXPECT_EQ(job.FileList, (std::vector<std::string>{a0, a1, b0}));
    EXPECT_EQ(job.EncryptedList, job.FileList);
    EXPECT_FALSE(IsEncryptedFile(below)) << "b is searched without its subfolders";
    EXPECT_EQ(job.FailedList,
              (std::vector<TFailedFile>{{dir.file("missing"), kErrorIo, std::strerror(ENOENT)}}));

    const auto firstOther = std::find_if(window.messages.begin(), window.messages.end(),
                                         [](const Message& m) { return m.msg != WM_JOB_SEARCHING; });
    const Messages search(window.messages.begin(), firstOther);
    ASSERT_GE(search.size(), 2u);
    EXPECT_EQ(search.front(), searching(0));
    EXPECT_EQ(search.back(), searching(3));
    const auto mib = [](std::size_t files) {
        return static_cast<std::uint32_t>(files * (2 * kBlock + 96) / 1'048'576);
    };
    EXPECT_EQ(Messages(firstOther, window.messages.end()),
              (Messages{progress(0, 3), counts(1, 0), failedSize(1, mib(1)),  //
                        progress(1, 3), counts(2, 0), failedSize(1, mib(2)),  //
                        progress(2, 3), counts(3, 0), failedSize(1, mib(3)),  //
                        finished(false)}));
}

// Stopped in the middle of its search, the job ends as canceled and touches no file, not even those
// it had found already.
TEST(TKZVThread, TerminatedWhileSearchingItEndsCanceledWithNothingToggled) {
    TempDir dir;
    std::vector<std::string> videos;
    for (const char* folder : {"f1", "f2", "f3"})
        for (int i = 0; i < 4; ++i)
            videos.push_back(
                makeFile(dir, std::string(folder) + "/clip" + std::to_string(i) + ".mp4", kBlock + 100));
    Recorder window;
    StoppedWhileSearching job(8);  // the top folder's 3 entries, f1's 4: at f2's first entry
    fill(job, window, {});
    job.SearchFolders = {{dir.path().string(), true}};
    job.Params.VideoMask = "*.mp4";
    job.Resume();
    ASSERT_TRUE(window.waitFinished());

    EXPECT_EQ(job.FileList, std::vector<std::string>(videos.begin(), videos.begin() + 4))
        << "f1 searched, f2 and f3 not";
    EXPECT_EQ(window.messages.back(), finished(true));
    for (const Message& m : window.messages)
        EXPECT_TRUE(m.msg == WM_JOB_SEARCHING || m.msg == WM_JOB_FINISHED) << m;
    EXPECT_TRUE(job.EncryptedList.empty());
    for (const auto& video : videos) EXPECT_FALSE(IsEncryptedFile(video)) << video;
}

TEST(TKZVThread, CancelDuringTheFifthOfTenFinishesItAndOpensNoSixth) {
    TempDir dir;
    const auto files = makeFiles(dir, 10, kBlock + 100);
    GateFileSystem gate(files[4]);
    Recorder window;
    TKZVThread job(gate);
    fill(job, window, files);
    job.Resume();
    ASSERT_TRUE(gate.waitReached());
    job.Terminate();
    gate.release();
    ASSERT_TRUE(window.waitFinished());

    EXPECT_EQ(job.EncryptedList, std::vector<std::string>(files.begin(), files.begin() + 5));
    EXPECT_TRUE(IsEncryptedFile(files[4])) << "the file in hand is completed";
    EXPECT_FALSE(gate.wasOpened(files[5]));
    ASSERT_GE(window.messages.size(), 4u);
    const Messages tail(window.messages.end() - 4, window.messages.end());
    EXPECT_EQ(tail, (Messages{progress(4, 10), counts(5, 0), failedSize(0, 5 * (kBlock + 196) / 1'048'576),
                              finished(true)}));
    EXPECT_EQ(window.messages.size(), 5 * 3 + 1u);
}

TEST(TKZVThread, ClosingTheWindowQuietsTheJobAndDestructionWaitsForTheFileInHand) {
    TempDir dir;
    const auto files = makeFiles(dir, 4, 3 * kBlock);
    const auto original = readFile(files[1]);
    GateFileSystem gate(files[1]);
    Recorder window;
    auto job = std::make_unique<TKZVThread>(gate);
    fill(*job, window, files);
    job->Resume();
    ASSERT_TRUE(gate.waitReached());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.messages.size() == 3; }, 5000));  // the first file's

    // What the window does when the user answers Yes to "Stop now?"; the file system lets go later.
    job->Quiet = true;
    job->Terminate();
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        gate.release();
    });
    job.reset();
    releaser.join();

    EXPECT_TRUE(IsEncryptedFile(files[1])) << "destruction returned before the file in hand was finished";
    EXPECT_EQ(readFile(files[1]).size(), original.size() + 96);
    EXPECT_FALSE(IsEncryptedFile(files[2]));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.messages.size(), 3u) << "a quiet job posts nothing, not even WM_JOB_FINISHED";
}

TEST(TKZVThread, WithAJournalAGroupWhoseEntriesCannotBeMadeDurableIsNotTouched) {
    TempDir dir;
    const auto files = makeFiles(dir, 2, kBlock);
    const auto original = readFile(files[0]);
    const auto journalFolder = dir.file("journal");
    // The first sync of the journal covers the entries of both files.
    testsupport::FaultyFileSystem journalDisk({testsupport::FileOp::Sync, 1, EIO}, ".vjournal");
    Recorder window;
    {
        TKZVThread job;
        fill(job, window, files);
        job.UseJournal(TJournal::Create(journalFolder, journalDisk));
        job.Resume();
        ASSERT_TRUE(window.waitFinished());
        ASSERT_EQ(job.FailedList.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(job.FailedList[i].Path, files[i]);
            EXPECT_EQ(job.FailedList[i].Code, kErrorIo);
            // The journal failed, not the video: the reason names the journal's file.
            const std::string& reason = job.FailedList[i].Reason;
            EXPECT_EQ(reason.rfind(journalFolder + "/", 0), 0u) << reason;
            EXPECT_TRUE(reason.ends_with(std::string(": ") + std::strerror(EIO))) << reason;
        }
        EXPECT_TRUE(job.EncryptedList.empty());
        EXPECT_TRUE(job.Notice.contains(QString::fromStdString(journalFolder))) << job.Notice.toStdString();
    }
    EXPECT_EQ(readFile(files[0]), original);
    EXPECT_TRUE(RecoverJournals(journalFolder).Restored.empty()) << "nothing is left to undo";
}

TEST(TKZVThread, AFailureToSettleTheJournalAtTheEndStillCountsTheToggledFiles) {
    TempDir dir;
    const auto files = makeFiles(dir, 3, kBlock);
    const auto journalFolder = dir.file("journal");
    // Settling the journal at the end fails (the three entries are written, then nothing more): every
    // video is complete, and must be counted and told.
    testsupport::FaultyFileSystem journalDisk({testsupport::FileOp::Write, 4, EIO, false, true}, ".vjournal");
    Recorder window;
    {
        TKZVThread job(journalDisk);
        fill(job, window, files, flag("k"));
        job.Params.JournalFolder = journalFolder;
        job.Resume();
        ASSERT_TRUE(window.waitFinished());
        EXPECT_EQ(job.EncryptedList, files);
        for (const auto& f : job.FailedList) ADD_FAILURE() << f.Path << ": " << f.Reason;
        EXPECT_FALSE(job.Notice.isEmpty());
    }
    const auto report = RecoverJournals(journalFolder);
    EXPECT_TRUE(report.Restored.empty() && report.Problems.empty()) << "complete toggles are never undone";
    for (const auto& file : files) EXPECT_TRUE(IsEncryptedFile(file));
}

TEST(TKZVThread, AVideoLeftHalfChangedByAnEarlierJobIsRestoredBeforeTheNextJobTouchesIt) {
    // The window runs many jobs in one process: a failed undo in one must not let the next job toggle
    // the half-changed video as if it were whole.
    TempDir dir;
    const auto files = makeFiles(dir, 1, kBlock * 2);
    const auto original = readFile(files[0]);
    const auto journalFolder = dir.file("journal");
    {
        testsupport::FaultyFileSystem breaksMidway({testsupport::FileOp::Write, 2, EIO, false, true},
                                                   "clip0");
        Recorder window;
        TKZVThread job(breaksMidway);
        fill(job, window, files, flag("k"));
        job.Params.JournalFolder = journalFolder;
        job.Resume();
        ASSERT_TRUE(window.waitFinished());
        const std::string io = std::strerror(EIO);
        EXPECT_EQ(job.FailedList,
                  (std::vector<TFailedFile>{
                      {files[0], kErrorIo,
                       io + "; the file could not be put back as it was: " + files[0] + ": " + io}}));
    }
    ASSERT_NE(readFile(files[0]), original) << "the scene needs a half-changed video";
    Recorder window;
    TKZVThread job;
    fill(job, window, files, flag("k"));
    job.Params.JournalFolder = journalFolder;
    job.Resume();
    ASSERT_TRUE(window.waitFinished());
    EXPECT_EQ(job.EncryptedList, files);
    EXPECT_EQ(enginetest::content(readFile(files[0])), enginetest::expectedScramble(original, "k", 2));
    EXPECT_TRUE(job.Notice.contains(QStringLiteral("Restored"))) << job.Notice.toStdString();
    const auto report = RecoverJournals(journalFolder);
    EXPECT_TRUE(report.Restored.empty() && report.Problems.empty());
    EXPECT_TRUE(platform::listFiles(journalFolder, kJournalSuffix).empty());
}

namespace {

// A job whose list handling fails outside the per-file step.
class BrokenListJob : public TKZVThread {
protected:
    void SafeExecute() override {
        Ticks = 0;
        EncryptedList.push_back("done before");
        (void)FileList.at(FileList.size());
    }
};

}  // namespace

TEST(TKZVThread, AnEscapedErrorIsReportedWithItsTextAndTheJobStillFinishes) {
    Recorder window;
    QString errorText;
    {
        BrokenListJob job;
        fill(job, window, {"a.mp4"});
        job.Resume();
        ASSERT_TRUE(job.wait(5000));
        EXPECT_FALSE(job.Running());
        EXPECT_EQ(job.EncryptedList, std::vector<std::string>{"done before"});
        errorText = job.ErrorText;
    }
    // The job is gone before the window hears of it: the messages carry their own text.
    ASSERT_TRUE(window.waitFinished());
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_FALSE(errorText.isEmpty());
    EXPECT_EQ(window.messages[0], (Message{WM_JOB_ERROR, TJobError{errorText}}));
    EXPECT_EQ(window.messages[1], finished(false));
}

TEST(TKZVThread, AJournalFolderThatCannotBeUsedLeavesEveryFileUntouched) {
    TempDir dir;
    const auto files = makeFiles(dir, 2, kBlock);
    const auto original = readFile(files[0]);
    const auto inTheWay = dir.file("not-a-folder");
    testsupport::writeFile(inTheWay, {1});
    Recorder window;
    TKZVThread job;
    fill(job, window, files);
    job.Params.JournalFolder = inTheWay + "/journal";
    job.Resume();
    ASSERT_TRUE(window.waitFinished());
    // Named by what is in the way.
    const std::string reason =
        "left unchanged, the recovery journal cannot be used: " + inTheWay + ": is not a folder";
    EXPECT_EQ(job.FailedList,
              (std::vector<TFailedFile>{{files[0], kErrorIo, reason}, {files[1], kErrorIo, reason}}));
    EXPECT_EQ(readFile(files[0]), original);
    // The reason reaches the user once, naming the folder, before the job's end.
    const auto notices = std::count_if(window.messages.begin(), window.messages.end(),
                                       [](const Message& m) { return m.msg == WM_JOB_ERROR; });
    EXPECT_EQ(notices, 1);
    EXPECT_TRUE(job.Notice.contains(QString::fromStdString(inTheWay + "/journal")))
        << job.Notice.toStdString();
    EXPECT_EQ(window.messages.back(), finished(false));
}

TEST(TKZVThread, AJobWithItsJournalFolderLeavesNoEntryBehind) {
    TempDir dir;
    const auto files = makeFiles(dir, 3, kBlock * 2);
    const auto journalFolder = dir.file("journal");
    Recorder window;
    {
        TKZVThread job;
        fill(job, window, files);
        job.Params.JournalFolder = journalFolder;
        job.Resume();
        ASSERT_TRUE(window.waitFinished());
        EXPECT_EQ(job.EncryptedList, files);
    }
    // What is left is settled by the next recovery without a video being rewritten.
    const auto report = RecoverJournals(journalFolder);
    EXPECT_TRUE(report.Restored.empty() && report.Problems.empty());
    for (const auto& file : files) EXPECT_TRUE(IsEncryptedFile(file));
    EXPECT_TRUE(platform::listFiles(journalFolder, kJournalSuffix).empty());
}

TEST(TKZVThread, AnEntryThatCannotBeAppliedIsToldToTheUserNotOnlyLogged) {
    TempDir dir;
    const auto files = makeFiles(dir, 1, kBlock * 2);
    const auto journalFolder = dir.file("journal");
    {
        // A run that died mid-toggle of a video that is gone since.
        const auto gone = dir.file("gone.mp4");
        writeFile(gone, patternBytes(kBlock * 2));
        auto journal = TJournal::Create(journalFolder);
        auto file = platform::localFileSystem().open(gone, platform::FileAccess::ReadWrite);
        std::vector<std::uint8_t> buffer(kBlock);
        journal->Record(*file, {TJournal::Operation::Encrypt, 2, "", {}, false}, buffer);
        journal->Commit();
        journal->Unsettled(*file);
        platform::removeFile(gone);
    }
    Recorder window;
    TKZVThread job;
    fill(job, window, files);
    job.Params.JournalFolder = journalFolder;
    job.Resume();
    ASSERT_TRUE(window.waitFinished());
    EXPECT_EQ(job.EncryptedList, files);
    EXPECT_TRUE(job.Notice.contains(QString::fromStdString(dir.file("gone.mp4"))))
        << job.Notice.toStdString();
    const auto notices = std::count_if(window.messages.begin(), window.messages.end(),
                                       [](const Message& m) { return m.msg == WM_JOB_ERROR; });
    EXPECT_EQ(notices, 1);
    EXPECT_TRUE(job.NoticeIsFailure) << "a video is left half-changed";
}

TEST(TKZVThread, WhatTheJobSettledOrCompletedIsToldAsANoteNotAFailure) {
    TempDir dir;
    const auto journalFolder = dir.file("journal");
    // A run died mid-toggle of a video that was renamed since: recovery at the job's start cannot
    // find it, and the job meets it under its new name.
    const auto files = makeFiles(dir, 1, kBlock * 2);
    const auto plain = readFile(files[0]);
    enginetest::dieMidToggle(journalFolder, files[0], TJournal::Operation::Encrypt, "", 2,
                             [](platform::File& f) { enginetest::transformSectors(f, "", 0, 0, 2); });
    std::filesystem::rename(files[0], dir.file("renamed.mp4"));
    for (const bool failingEnd : {false, true}) {
        SCOPED_TRACE(failingEnd ? "the journal's last write fails" : "a pending entry settled");
        // The journal's last write (marking entries done) fails after every file is complete; before
        // it come the settled entry voided in the dead run's journal and this job's own entry.
        testsupport::FaultyFileSystem fs(
            {testsupport::FileOp::Write, failingEnd ? 3 : 1000, EIO, false, true}, ".vjournal");
        Recorder window;
        TKZVThread job(fs);
        fill(job, window, {dir.file("renamed.mp4")}, failingEnd ? flag("") : flag("", ftOnlyUnencrypted));
        job.Params.JournalFolder = journalFolder;
        job.Resume();
        ASSERT_TRUE(window.waitFinished());
        for (const auto& f : job.FailedList) ADD_FAILURE() << f.Path << ": " << f.Reason;
        EXPECT_FALSE(job.Notice.isEmpty());
        EXPECT_FALSE(job.Notice.contains(QStringLiteral("Not restored yet"))) << job.Notice.toStdString();
        EXPECT_FALSE(job.NoticeIsFailure) << job.Notice.toStdString();
        const auto error = std::find_if(window.messages.begin(), window.messages.end(),
                                        [](const Message& m) { return m.msg == WM_JOB_ERROR; });
        ASSERT_NE(error, window.messages.end());
        EXPECT_FALSE(std::get<TJobError>(error->payload).Failure);
    }
    EXPECT_EQ(readFile(dir.file("renamed.mp4")), plain) << "restored, then scrambled and restored again";
}

// The user presses Cancel as soon as the bar starts moving within a long toggle.
class CancelingRecorder : public Recorder {
public:
    TKZVThread* job = nullptr;

protected:
    bool event(QEvent* event) override {
        const bool handled = Recorder::event(event);
        if (!messages.empty() && messages.back().msg == WM_JOB_FILEPROGRESS) job->Terminate();
        return handled;
    }
};

TEST(TKZVThread, ALongToggleTellsHowFarItIsAndACancelLeavesItWholeOrAsItWas) {
    TempDir dir;
    constexpr std::int32_t blocks = 300;
    const auto plain = patternBytes(blocks * kBlock + 5, 31);
    const auto video = dir.file("recording.ts");
    const auto next = dir.file("next.ts");
    writeFile(video, plain);
    writeFile(next, plain);
    CancelingRecorder window;
    TKZVThread job;
    window.job = &job;
    fill(job, window, {video, next}, flag({}, ftBoth, blocks));
    job.Params.JournalFolder = dir.file("journal");
    job.Resume();
    ASSERT_TRUE(window.waitFinished(120'000));

    ASSERT_EQ(window.messages.front().msg, WM_JOB_FILEPROGRESS) << "at most every 100 ms, not per block";
    const auto& first = std::get<TJobFileProgress>(window.messages.front().payload);
    EXPECT_EQ(first.Index, 0u);
    EXPECT_EQ(first.Count, 2u);
    EXPECT_EQ(first.Total, 2 * blocks) << "the journal's reading, then the rewriting";
    EXPECT_GT(first.Done, 0);
    EXPECT_EQ(window.messages.back(), finished(true));
    EXPECT_EQ(readFile(next), plain);
    // Wherever the cancel landed, the file is either untouched or completely toggled, and the job
    // says which.
    EXPECT_EQ(job.StoppedAt, video);
    EXPECT_EQ(job.StoppedPutBack, job.EncryptedList.empty());
    if (job.EncryptedList.empty()) {
        EXPECT_EQ(readFile(video), plain);
    } else {
        EXPECT_EQ(job.EncryptedList, std::vector<std::string>{video});
        EXPECT_EQ(enginetest::content(readFile(video)), enginetest::expectedScramble(plain, {}, blocks));
    }
    const auto report = RecoverJournals(dir.file("journal"));
    EXPECT_TRUE(report.Restored.empty() && report.Problems.empty());
}

TEST(SetUpJob, TheKeyIsCutToItsFirst64BytesAndTheVersionToItsField) {
    const std::string key64 = std::string(63, 'k') + "\xC3";  // a cut may split a character: bytes count
    Recorder window;
    TKZVThread job;
    SetUpJob(job,
             {.Key = key64 + "\xA9 tail",
              .FileType = ftOnlyUnencrypted,
              .Blocks = 9,
              .WholeStreams = true,
              .KeepFileTime = false,
              .VideoMask = "*.mp4",
              .JournalFolder = "/journal"},
             &window);
    EXPECT_EQ(job.Params.Key, key64);
    EXPECT_TRUE(KeyIsCut(key64 + "x"));
    EXPECT_FALSE(KeyIsCut(key64));
    const std::string version = platform::GetProVersion(true);
    EXPECT_EQ(job.Params.Version, version.substr(0, kVersionFieldSize));
    EXPECT_FALSE(job.Params.Version.empty());
    EXPECT_EQ(job.Params.FileType, ftOnlyUnencrypted);
    EXPECT_EQ(job.Params.Blocks, 9);
    EXPECT_TRUE(job.Params.WholeStreams);
    EXPECT_EQ(job.Params.NotifyWnd, &window);
    EXPECT_FALSE(job.Params.KeepFileTime);
    EXPECT_EQ(job.Params.JournalFolder, "/journal");

    TJobOptions whole;
    whole.Key = key64;
    SetUpJob(job, whole, &window);
    EXPECT_EQ(job.Params.Key, key64) << "64 bytes are used whole";
}
