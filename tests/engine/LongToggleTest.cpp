// A toggle of many blocks (a whole stream, a large block setting) tells how far it is and can be
// stopped part way: it is then put back or finished, whichever is quicker, never left half done, and
// the journal it leaves holds nothing to restore.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <tuple>

#include "EngineTestUtil.h"
#include "engine/journal/Recover.h"

using namespace engine;
using namespace enginetest;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

struct Heard {
    std::size_t index;
    std::int64_t done;
    std::int64_t total;
    friend bool operator==(const Heard&, const Heard&) = default;
};

// Runs a journaled batch that is asked to stop once the first file's progress reaches `stopAt`.
struct StoppedBatch {
    std::vector<std::optional<TFileOutcome>> outcomes;
    std::vector<Heard> heard;
};

StoppedBatch runStopped(const std::vector<std::string>& paths, const std::string& journalFolder,
                        std::int32_t blocks, std::int64_t stopAt) {
    StoppedBatch batch;
    batch.outcomes.resize(paths.size());
    bool stop = false;
    TFileTransform transform(flag("k", ftBoth, blocks), true);
    transform.UseJournal(TJournal::Create(journalFolder));
    transform.ProcessFiles(
        paths, "k", [&] { return stop; },
        [&](std::size_t i, const TFileOutcome& outcome) { batch.outcomes[i] = outcome; },
        [&](std::size_t i, std::int64_t done, std::int64_t total) {
            batch.heard.push_back({i, done, total});
            if (done >= stopAt) stop = true;
        });
    transform.FinishJournal();
    return batch;
}

TEST(LongToggle, AStopPutsBackWhatIsLessThanHalfDoneAndFinishesWhatIsMore) {
    constexpr std::int32_t blocks = 140;  // journaled: 140 steps of reading, then 140 of rewriting
    const auto plain = patternBytes(blocks * kBlock + 777, 21);
    struct Case {
        const char* name;
        std::int64_t stopAt;
        TProcessOutcome outcome;
    };
    const Case cases[] = {
        {"while the journal reads it", 50, TProcessOutcome::Stopped},
        {"30 blocks rewritten", blocks + 30, TProcessOutcome::Stopped},
        // 65 left: more than a short rest, but fewer than the 75 an undo would rewrite.
        {"75 blocks rewritten", blocks + 75, TProcessOutcome::Encrypted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto video = dir.file("recording.ts");
        const auto next = dir.file("next.ts");
        writeFile(video, plain);
        writeFile(next, plain);
        const auto time = std::filesystem::last_write_time(video);

        const auto batch = runStopped({video, next}, dir.file("journal"), blocks, c.stopAt);

        ASSERT_TRUE(batch.outcomes[0] && batch.outcomes[0]->Result) << batch.outcomes[0]->Error;
        EXPECT_EQ(batch.outcomes[0]->Result->Outcome, c.outcome);
        EXPECT_FALSE(batch.outcomes[1]) << "nothing after the stop";
        EXPECT_EQ(readFile(next), plain);
        const auto after = readFile(video);
        if (c.outcome == TProcessOutcome::Stopped) {
            EXPECT_EQ(after, plain);
            EXPECT_EQ(batch.heard.back().done, c.stopAt > blocks ? blocks : c.stopAt)
                << "an undo counts back down to where the rewriting began";
        } else {
            EXPECT_EQ(trailerOf(after).Blocks, blocks);
            EXPECT_EQ(content(after), expectedScramble(plain, "k", blocks));
            EXPECT_EQ(batch.heard.back(), (Heard{0, 2 * blocks, 2 * blocks}));
        }
        EXPECT_EQ(std::filesystem::last_write_time(video), time);
        const auto report = RecoverJournals(dir.file("journal"));
        EXPECT_TRUE(report.Restored.empty());
        EXPECT_TRUE(report.Problems.empty());
        EXPECT_EQ(readFile(video), after) << "recovery found the toggle settled";
    }
}

TEST(LongToggle, AShortRestIsFinishedAndAShortToggleNeverStops) {
    const auto plain = patternBytes((kFinishBlocks + 26) * kBlock, 22);
    TempDir dir;
    const auto video = dir.file("clip.mp4");
    writeFile(video, plain);
    // 30 of 90 rewritten: undoing 30 would be quicker, but the 60 left take no time worth saving.
    const auto batch = runStopped({video}, dir.file("journal"), kFinishBlocks + 26, kFinishBlocks + 26 + 30);
    ASSERT_TRUE(batch.outcomes[0]->Result);
    EXPECT_EQ(batch.outcomes[0]->Result->Outcome, TProcessOutcome::Encrypted);
    EXPECT_EQ(content(readFile(video)), expectedScramble(plain, "k", kFinishBlocks + 26));
}

TEST(LongToggle, ProgressCountsTheJournalsReadingThenTheRewritingAndALongToggleGoesAlone) {
    TempDir dir;
    const auto small = dir.file("small.mp4");
    const auto large = dir.file("large.ts");
    const auto after = dir.file("after.mp4");
    writeFile(small, patternBytes(2 * kBlock, 23));
    writeFile(large, patternBytes(100 * kBlock, 24));
    writeFile(after, patternBytes(2 * kBlock, 25));

    std::vector<std::tuple<char, std::size_t, std::int64_t, std::int64_t>> events;  // report or progress
    TFileTransform transform(flag("k", ftBoth, 100), false);
    transform.UseJournal(TJournal::Create(dir.file("journal")));
    transform.ProcessFiles(
        {small, large, after}, "k", [] { return false; },
        [&](std::size_t i, const TFileOutcome& outcome) {
            EXPECT_TRUE(outcome.Result) << outcome.Error;
            events.emplace_back('r', i, 0, 0);
        },
        [&](std::size_t i, std::int64_t done, std::int64_t total) {
            events.emplace_back('p', i, done, total);
        });
    transform.FinishJournal();

    // Short toggles tell nothing, and the small file is done before the large one's entry is read:
    // it was not held open meanwhile (with the default group limits, it would have been).
    std::vector<std::tuple<char, std::size_t, std::int64_t, std::int64_t>> expected;
    expected.emplace_back('r', 0, 0, 0);
    for (std::int64_t d = 1; d <= 200; ++d) expected.emplace_back('p', 1, d, 200);
    expected.emplace_back('r', 1, 0, 0);
    expected.emplace_back('r', 2, 0, 0);
    EXPECT_EQ(events, expected);
}

}  // namespace
