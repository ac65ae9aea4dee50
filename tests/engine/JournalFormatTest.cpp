// The journal's bytes and its one decision: entries written by the released writer and by today's
// are read back field by field, today's is rebuilt byte for byte, and the table is checked whole.
#include <gtest/gtest.h>

#include "EngineTestUtil.h"
#include "engine/journal/Decision.h"
#include "engine/journal/Format.h"
#include "engine/journal/Settle.h"

using namespace engine;
using namespace engine::journal;
using namespace enginetest;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

const std::string kData = VELMORA_TEST_DATA;
// The video both golden entries describe: a two-block encryption with this key, its path as recorded.
const std::string kGoldenPath = "/tmp/gold/golden.mp4";
const std::string kGoldenKey = "golden key";
std::vector<std::uint8_t> goldenVideo() {
    return patternBytes(2 * kBlock + 100, 7);
}

std::unique_ptr<platform::File> openRead(const std::string& path) {
    return platform::localFileSystem().open(path, platform::FileAccess::ReadWrite);
}

void expectGoldenFields(const Entry& entry) {
    EXPECT_EQ(entry.operation(), Operation::Encrypt);
    EXPECT_EQ(entry.state(), EntryState::Live);
    EXPECT_EQ(entry.videoPath, kGoldenPath);
    EXPECT_EQ(entry.blocks(), 2);
    EXPECT_EQ(entry.key(), kGoldenKey);
    EXPECT_EQ(entry.header.originalSize, static_cast<std::int64_t>(2 * kBlock + 100));
    EXPECT_EQ(entry.header.keepFileTime, 1u);
    const auto video = goldenVideo();
    EXPECT_TRUE(std::equal(entry.tailBefore().begin(), entry.tailBefore().end(), video.end() - 96));
    EXPECT_EQ(entry.tailAfter()[0], 1);
    EXPECT_EQ(entry.header.salt & 1, 1u);
}

// The golden entry's records fit the video it was recorded from: an untouched copy reads as such.
Verdict settleAgainstCopy(platform::File& journal, const Entry& entry,
                          const std::vector<std::uint8_t>& bytes) {
    TempDir dir;
    writeFile(dir.file("copy.mp4"), bytes);
    auto video = openRead(dir.file("copy.mp4"));
    return Settler().settle(journal, entry, *video).verdict;
}

// Today's encoding of the golden video's entry with `header`.
std::vector<std::uint8_t> encodeGolden(const EntryHeader& header, const std::string& path) {
    EntryEncoder encoder(header, path);
    BlockFingerprints fingerprints;
    fingerprints.useSalt(header.salt);
    const auto video = goldenVideo();
    std::vector<std::uint8_t> record(static_cast<std::size_t>(kBlockRecordSize));
    for (std::size_t b = 0; b < 2; ++b) {
        fingerprints.record(std::span(video).subspan(b * kBlock, kBlock), record);
        encoder.addRecord(record);
    }
    encoder.finish();
    return {encoder.pending().begin(), encoder.pending().end()};
}

}  // namespace

TEST(JournalFormat, TheReleasedVersion2EntryIsReadAndTakenAsTheJournalOwners) {
    auto file = openRead(kData + "/entry-v2.vjournal");
    const auto entries = ReadEntries(*file, 4242);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].version, 2);
    expectGoldenFields(entries[0]);
    EXPECT_EQ(entries[0].header.owner, 4242u) << "a version 2 entry names no owner";
    EXPECT_EQ(settleAgainstCopy(*file, entries[0], goldenVideo()), Verdict::Untouched);
    auto scrambled = goldenVideo();
    std::copy_n(expectedScramble(goldenVideo(), kGoldenKey, 2).begin(), 2 * kBlock, scrambled.begin());
    const auto after =
        std::vector<std::uint8_t>(entries[0].tailAfter().begin(), entries[0].tailAfter().end());
    scrambled.insert(scrambled.end(), after.begin(), after.end());
    EXPECT_EQ(settleAgainstCopy(*file, entries[0], scrambled), Verdict::Complete);
}

TEST(JournalFormat, TodaysEntryIsPinnedByteForByte) {
    // Rebuilt from its own header with today's encoder and the video's blocks: any field moved,
    // resized or summed differently changes the bytes.
    const auto golden = readFile(kData + "/entry-v3.vjournal");
    auto file = openRead(kData + "/entry-v3.vjournal");
    const auto entries = ReadEntries(*file, 0);
    ASSERT_EQ(entries.size(), 1u);
    const Entry& entry = entries[0];
    EXPECT_EQ(entry.version, 3);
    expectGoldenFields(entry);
    EXPECT_EQ(entry.header.owner, 1234u);

    const auto rebuilt = encodeGolden(entry.header, entry.videoPath);
    EXPECT_TRUE(std::equal(rebuilt.begin(), rebuilt.end(), golden.begin(), golden.end()));

    // The state is the one field outside the checksum; everything else is inside it.
    for (const std::size_t at : {std::size_t{8}, std::size_t{40}, std::size_t{392}, golden.size() - 9}) {
        TempDir dir;
        auto changed = golden;
        changed[at] ^= 0x01;
        writeFile(dir.file("j.vjournal"), changed);
        auto j = openRead(dir.file("j.vjournal"));
        EXPECT_EQ(ReadEntries(*j, 0).size(), at == 8 ? 1u : 0u) << "byte " << at;
    }
}

TEST(JournalDecision, EveryStateOfAVideoHasOneVerdict) {
    using enum EndState;
    using S = SectorState;
    using V = Verdict;
    struct Row {
        EndState end;
        SectorState sectors;
        Verdict verdict;
    };
    // Written from what each state means, not copied from the table: nothing landed, all of it, part
    // of it, or something no toggle produces.
    const Row rows[] = {
        {Before, S::Original, V::Untouched},
        {Before, S::Transformed, V::Undo},
        {Before, S::Mixed, V::Undo},
        {Before, S::Neither, V::LeaveAlone},
        {After, S::Original, V::Undo},
        {After, S::Transformed, V::Complete},
        {After, S::Mixed, V::Undo},
        {After, S::Neither, V::LeaveAlone},
        {Partial, S::Original, V::Undo},
        {Partial, S::Transformed, V::Undo},
        {Partial, S::Mixed, V::Undo},
        {Partial, S::Neither, V::LeaveAlone},
        {Neither, S::Original, V::LeaveAlone},
        {Neither, S::Transformed, V::LeaveAlone},
        {Neither, S::Mixed, V::LeaveAlone},
        {Neither, S::Neither, V::LeaveAlone},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Decide(row.end, row.sectors), row.verdict)
            << ToString(row.end) << " / " << ToString(row.sectors) << ": "
            << ToString(Decide(row.end, row.sectors));
}
