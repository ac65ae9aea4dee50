// The progress both front ends show, reduced from a job's messages, and a controller running a real
// job to its record.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <fstream>
#include <iterator>

#include "jobs/JobController.h"
#include "jobs/JobProgress.h"
#include "support/TempDir.h"

namespace {

using engine::TJobMessage;

struct ReduceCase {
    const char* name;
    std::vector<TJobMessage> messages;
    std::size_t fileInHand;
    int filePercent;
    double barFiles;  // how far along the bar is, in files
    bool searchOnly;
};

TEST(JobProgress, ReadsTheSameFromEverySequenceOfMessages) {
    const std::vector<ReduceCase> cases{
        {"searching", {engine::TJobSearching{7}}, 0, 0, 1.0 / 1, true},
        {"first file done",
         {engine::TJobSearching{7}, engine::TJobProgress{0, 4}, engine::TJobCounts{1, 0}},
         1,
         0,
         1,
         false},
        {"a long toggle three quarters in",
         {engine::TJobProgress{0, 4}, engine::TJobFileProgress{1, 4, 300, 400}},
         1,
         75,
         1.75,
         false},
        {"an undo going back down",
         {engine::TJobFileProgress{1, 4, 300, 400}, engine::TJobFileProgress{1, 4, 100, 400}},
         1,
         25,
         1.25,
         false},
        {"the long file done",
         {engine::TJobFileProgress{1, 4, 300, 400}, engine::TJobProgress{1, 4}},
         2,
         0,
         2,
         false},
        {"the last file stays in hand", {engine::TJobProgress{3, 4}}, 3, 0, 4, false},
        {"more done than the total is the whole file",
         {engine::TJobFileProgress{0, 2, 900, 400}},
         0,
         100,
         1,
         false},
        {"an error counts nothing",
         {engine::TJobProgress{0, 2}, engine::TJobError{QStringLiteral("x")}},
         1,
         0,
         1,
         false},
    };
    for (const ReduceCase& c : cases) {
        SCOPED_TRACE(c.name);
        jobs::TJobProgressState state;
        for (const TJobMessage& message : c.messages) state = jobs::Reduce(state, message);
        EXPECT_EQ(jobs::FileInHand(state), c.fileInHand);
        EXPECT_EQ(jobs::FilePercent(state), c.filePercent);
        const jobs::TBarPosition bar = jobs::BarPosition(state);
        const double files = static_cast<double>(state.Count == 0 ? 1 : state.Count) *
                             static_cast<double>(bar.Value) / static_cast<double>(bar.Maximum);
        EXPECT_DOUBLE_EQ(files, c.barFiles);
        EXPECT_EQ(jobs::SearchOnly(state), c.searchOnly);
    }
}

TEST(JobProgress, TheBarFitsAnIntWhateverTheNumberOfFiles) {
    for (const std::size_t count : {std::size_t{1}, std::size_t{3'000'000}, std::size_t{4'000'000'000}}) {
        const auto state = jobs::Reduce({}, engine::TJobProgress{count - 1, count});
        const jobs::TBarPosition bar = jobs::BarPosition(state);
        EXPECT_LE(bar.Maximum, std::numeric_limits<int>::max()) << count;
        EXPECT_EQ(bar.Value, bar.Maximum) << count;
    }
}

TEST(JobController, RunsAJobToItsRecordAndWritesItsLists) {
    testsupport::TempDir dir;
    const std::string big = dir.file("big.mp4");
    const std::string small = dir.file("small.mp4");
    testsupport::writeFile(big, testsupport::patternBytes(600'000));
    testsupport::writeFile(small, testsupport::patternBytes(1000));

    jobs::TJobController controller(0);
    QSignalSpy handled(&controller, &jobs::TJobController::FileHandled);
    QSignalSpy finished(&controller, &jobs::TJobController::Finished);
    engine::TJobOptions options;
    options.RemoveThumbnails = false;
    options.JournalFolder = dir.file("journal");
    controller.Start(options, {.Files = {big, small}, .Folders = {}, .UnreadFolders = {}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 20000));
    EXPECT_FALSE(controller.Running());
    EXPECT_FALSE(finished.at(0).at(0).toBool()) << "not canceled";
    ASSERT_EQ(handled.count(), 2);
    EXPECT_EQ(handled.at(1).at(0).value<std::size_t>(), 1u);

    // The reduced progress and the record agree.
    const jobs::TJobProgressState& progress = controller.Progress();
    EXPECT_TRUE(progress.Ended);
    EXPECT_EQ(progress.Encrypted, controller.Job()->EncryptedList.size());
    EXPECT_EQ(progress.Failed, controller.Job()->FailedList.size());
    EXPECT_EQ(progress.Encrypted, 1u);
    EXPECT_EQ(progress.Failed, 1u);

    const QString folder = QString::fromStdString(dir.file("data")) + QLatin1Char('/');
    const QString failed = controller.WriteDetailFile(jobs::TDetailList::Failed, folder, {});
    EXPECT_EQ(failed, folder + QStringLiteral("Failed.txt"));
    std::ifstream in(failed.toStdString(), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(text, "\"" + small + "\" ErrCode: 3; file too small\r\n");
    const QString encrypted = controller.WriteDetailFile(jobs::TDetailList::Encrypted, folder, {});
    std::ifstream encryptedIn(encrypted.toStdString(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(encryptedIn), {}), big + "\r\n");
}

}  // namespace
