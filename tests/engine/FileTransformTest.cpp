#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include <sys/stat.h>

#include "EngineTestUtil.h"
#include "support/OtherProcess.h"

using namespace engine;
using namespace enginetest;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// Whether the kernel is breaking a lease on `path`: another process's open of it waits for us.
bool leaseBreaking(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    const std::string inode = ":" + std::to_string(st.st_ino) + " ";
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);)
        if (line.find("LEASE") != std::string::npos && line.find("BREAKING") != std::string::npos &&
            line.find(inode) != std::string::npos)
            return true;
    return false;
}

}  // namespace

TEST(ProcessFile, RoundTripsAroundTheBlockBoundaries) {
    TempDir dir;
    const auto path = dir.file("clip.mp4");
    const std::size_t sizes[] = {kBlock, kBlock + 1, 2 * kBlock - 1, 2 * kBlock, 2 * kBlock + 95, 1'000'000};
    for (const std::string key : {"", "x", "abc", "Secret key 7"}) {
        for (std::size_t size : sizes) {
            SCOPED_TRACE("size " + std::to_string(size) + " key '" + key + "'");
            const auto plain = patternBytes(size, static_cast<std::uint32_t>(size));
            writeFile(path, plain);

            const auto enc = process(path, flag(key));
            EXPECT_EQ(enc.Outcome, TProcessOutcome::Encrypted);
            EXPECT_EQ(enc.SizeAfter, static_cast<std::int64_t>(size + 96));
            const auto encrypted = readFile(path);
            ASSERT_EQ(encrypted.size(), size + 96);
            EXPECT_EQ(content(encrypted), expectedScramble(plain, key, size / kBlock));
            EXPECT_TRUE(IsEncryptedFile(path));

            const auto dec = process(path, flag(key));
            EXPECT_EQ(dec.Outcome, TProcessOutcome::Decrypted);
            EXPECT_EQ(dec.SizeAfter, static_cast<std::int64_t>(size));
            EXPECT_EQ(readFile(path), plain);
        }
    }
}

TEST(ProcessFile, KeyCycleRestartsAtEveryBlock) {
    TempDir dir;
    const auto path = dir.file("clip.mov");
    writeFile(path, std::vector<std::uint8_t>(3 * kBlock, 0));
    process(path, flag("xyz"));
    const auto file = readFile(path);
    EXPECT_EQ(file[0], 'x');
    EXPECT_EQ(file[kBlock - 1], 'y');  // 524,287 mod 3 = 1
    EXPECT_EQ(file[kBlock], 'x') << "block 1 starts with the key's first byte again";
    EXPECT_EQ(file[2 * kBlock], 'x');
}

TEST(ProcessFile, BlockLimitAndItsStoredValue) {
    TempDir dir;
    const auto path = dir.file("clip.mkv");
    const auto plain = patternBytes(5 * kBlock + 10);
    struct Case {
        std::int32_t limit;
        std::size_t transformed;
    };
    for (const Case c : {Case{2, 2}, Case{1, 1}, Case{0, 1}, Case{-5, 1}, Case{5, 5}, Case{100, 5}}) {
        SCOPED_TRACE(c.limit);
        writeFile(path, plain);
        process(path, flag("k", ftBoth, c.limit));
        const auto encrypted = readFile(path);
        EXPECT_EQ(content(encrypted), expectedScramble(plain, "k", c.transformed));
        EXPECT_EQ(trailerOf(encrypted).Blocks, c.limit) << "the configured limit is stored, not the count";

        // Decryption follows the stored limit, whatever the setting is now.
        process(path, flag("k", ftBoth, 20));
        EXPECT_EQ(readFile(path), plain);
    }
}

TEST(ProcessFile, PartialBlocksAndTheBlockReachingIntoTheTrailerStayUntouched) {
    TempDir dir;
    const auto path = dir.file("clip.ts");
    // Three whole blocks and a fourth 8 bytes short: with the trailer appended the fourth would be whole.
    const auto plain = patternBytes(4 * kBlock - 8);
    writeFile(path, plain);
    process(path, flag("abc"));
    const auto encrypted = readFile(path);
    EXPECT_EQ(content(encrypted), expectedScramble(plain, "abc", 3));
    process(path, flag("abc"));
    EXPECT_EQ(readFile(path), plain);
}

TEST(ProcessFile, DecisionTableOfTheThreeTargets) {
    TempDir dir;
    const auto small = dir.file("small.mp4");
    const auto plainFile = dir.file("plain.mp4");
    const auto encryptedFile = dir.file("encrypted.mp4");
    const auto smallBytes = patternBytes(kBlock - 1);
    const auto plainBytes = patternBytes(kBlock + 100, 2);

    struct Row {
        std::uint8_t target;
        TProcessOutcome small, encrypted, plain;
    };
    const Row rows[] = {
        {ftBoth, TProcessOutcome::TooSmall, TProcessOutcome::Decrypted, TProcessOutcome::Encrypted},
        {ftOnlyEncrypted, TProcessOutcome::Skipped, TProcessOutcome::Decrypted, TProcessOutcome::Skipped},
        {ftOnlyUnencrypted, TProcessOutcome::TooSmall, TProcessOutcome::Skipped, TProcessOutcome::Encrypted},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.target));
        writeFile(small, smallBytes);
        writeFile(plainFile, plainBytes);
        writeFile(encryptedFile, plainBytes);
        process(encryptedFile, flag("k"));
        const auto encryptedBytes = readFile(encryptedFile);

        EXPECT_EQ(process(small, flag("k", row.target)).Outcome, row.small);
        EXPECT_EQ(readFile(small), smallBytes);
        EXPECT_EQ(process(encryptedFile, flag("k", row.target)).Outcome, row.encrypted);
        EXPECT_EQ(readFile(encryptedFile),
                  row.encrypted == TProcessOutcome::Decrypted ? plainBytes : encryptedBytes);
        EXPECT_EQ(process(plainFile, flag("k", row.target)).Outcome, row.plain);
        EXPECT_EQ(readFile(plainFile).size(),
                  plainBytes.size() + (row.plain == TProcessOutcome::Encrypted ? 96 : 0));
    }
}

TEST(ProcessFile, WrongKeysLeaveTheFileAlone) {
    TempDir dir;
    const auto path = dir.file("clip.wmv");
    const auto plain = patternBytes(2 * kBlock);
    writeFile(path, plain);
    process(path, flag("Secret"));
    const auto encrypted = readFile(path);

    for (const std::string wrong : {"secret", "SECRET", "", "Secret ", "Secre"}) {
        EXPECT_EQ(process(path, flag(wrong)).Outcome, TProcessOutcome::WrongKey) << "'" << wrong << "'";
        EXPECT_EQ(readFile(path), encrypted);
    }
    EXPECT_EQ(process(path, flag("Secret")).Outcome, TProcessOutcome::Decrypted);
    EXPECT_EQ(readFile(path), plain);
}

TEST(ProcessFile, AFileEncryptedWithoutAKeyOpensWithAnyKey) {
    TempDir dir;
    const auto path = dir.file("clip.flv");
    const auto plain = patternBytes(kBlock * 2 + 3);
    writeFile(path, plain);
    process(path, flag(""));
    const auto encrypted = readFile(path);
    for (std::size_t i = 0; i < 64; ++i) EXPECT_EQ(encrypted[encrypted.size() - 96 + i], 0xFF);
    EXPECT_EQ(process(path, flag("anything")).Outcome, TProcessOutcome::Decrypted);
    EXPECT_EQ(readFile(path), plain);
}

TEST(ProcessFile, FullWidthKeyAndVersionFields) {
    TempDir dir;
    const auto path = dir.file("clip.3gp");
    const auto plain = patternBytes(kBlock);
    const std::string key64 = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ+/";
    ASSERT_EQ(key64.size(), 64u);
    writeFile(path, plain);
    process(path, flag(key64, ftBoth, 8, "1.2.3-beta.45"));
    const auto t = trailerOf(readFile(path));
    EXPECT_EQ(FieldText(t.Key, 64), key64);
    EXPECT_EQ(FieldText(t.Version, 13), "1.2.3-beta.45");
    EXPECT_EQ(FieldText(t.Magic, 11), kMagic);
    EXPECT_EQ(t.Size, 96);
    EXPECT_EQ(process(path, flag(key64)).Outcome, TProcessOutcome::Decrypted);
    EXPECT_EQ(readFile(path), plain);

    process(path, flag("k", ftBoth, 8, ""));
    EXPECT_EQ(FieldText(trailerOf(readFile(path)).Version, 13), "1.0.0");
    process(path, flag("k"));
    process(path, flag("k", ftBoth, 8, "a-version-longer-than-thirteen"));
    EXPECT_EQ(FieldText(trailerOf(readFile(path)).Version, 13), "a-version-lon");
}

TEST(ProcessFile, KeepFileTimeRestoresTheLastWriteTime) {
    TempDir dir;
    const auto path = dir.file("clip.avi");
    writeFile(path, patternBytes(kBlock + 1));
    const platform::FileTime old{1'200'000'000, 987'654'321};
    auto setTime = [&] {
        platform::localFileSystem().open(path, platform::FileAccess::Write)->setLastWriteTime(old);
    };
    auto timeNow = [&] {
        return platform::localFileSystem().open(path, platform::FileAccess::Read)->lastWriteTime();
    };

    setTime();
    process(path, flag("k"), true);
    EXPECT_EQ(timeNow(), old) << "after encryption";
    process(path, flag("k"), true);
    EXPECT_EQ(timeNow(), old) << "after decryption";

    process(path, flag("k"), false);
    EXPECT_GT(timeNow().seconds, old.seconds) << "without the setting the time is the write's";
    setTime();
    process(path, flag("k"), false);
    EXPECT_GT(timeNow().seconds, old.seconds);
}

TEST(ProcessFile, RefusedAndSkippedFilesKeepTheirTime) {
    TempDir dir;
    const auto path = dir.file("clip.avi");
    writeFile(path, patternBytes(kBlock - 1));
    const platform::FileTime old{1'200'000'000, 5};
    platform::localFileSystem().open(path, platform::FileAccess::Write)->setLastWriteTime(old);
    EXPECT_EQ(process(path, flag("k"), true).Outcome, TProcessOutcome::TooSmall);
    EXPECT_EQ(platform::localFileSystem().open(path, platform::FileAccess::Read)->lastWriteTime(), old);
}

TEST(ProcessFile, FilesThatCannotBeOpenedRaise) {
    TempDir dir;
    EXPECT_THROW(process(dir.file("missing.mp4"), flag()), platform::FileError);

    const auto busy = dir.file("busy.mp4");
    const auto plain = patternBytes(kBlock + 1);
    writeFile(busy, plain);
    {
        auto held = platform::localFileSystem().open(busy, platform::FileAccess::Read);
        EXPECT_THROW(process(busy, flag()), platform::FileError);
    }
    EXPECT_EQ(readFile(busy), plain);

    EXPECT_THROW(process(dir.path().string(), flag()), platform::FileError) << "a folder is no video";
}

// A program that opens the video while it is being changed (a player, a thumbnailer) is kept waiting
// by the kernel until the video is closed: the change is undone at once, and that program reads the
// video as it was, never half changed.
TEST(ProcessFile, AProgramOpeningTheFileDuringAToggleGetsItWholeByTheShorterWay) {
    struct Case {
        const char* name;
        std::int64_t blocks;
        int openAfter;  // blocks rewritten when the other program asks for the file
        bool undone;
    };
    // Before the half, undoing is quicker; past it, finishing is.
    for (const Case& c : {Case{"undone", 3, 1, true}, Case{"finished", 6, 4, false}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto video = dir.file("opened.mp4");
        const auto seen = dir.file("seen.bin");
        const auto plain = patternBytes(static_cast<std::size_t>(c.blocks) * kBlock + 100);
        writeFile(video, plain);
        engine::TFileTransform transform(flag({}, engine::ftBoth, static_cast<std::int32_t>(c.blocks)),
                                         false);
        pid_t reader = -1;
        int written = 0;
        transform.SetStepHookForTesting([&](engine::TToggleStep step) {
            if (step != engine::TToggleStep::BlockWritten || ++written != c.openAfter) return;
            reader = testsupport::spawnShell(R"(cat "$1" > "$2")", {video, seen});
            // The reader's open now waits for this process's lease to break; go on once the kernel
            // says so.
            for (int i = 0; i < 500 && !leaseBreaking(video); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        });
        try {
            transform.ProcessFile(video, "");
            EXPECT_FALSE(c.undone) << "the toggle went on while another program waited for the file";
        } catch (const platform::FileError& error) {
            EXPECT_TRUE(c.undone) << error.what();
            EXPECT_NE(std::string(error.what()).find("being used by another process"), std::string::npos)
                << error.what();
        }
        ASSERT_GE(reader, 0);
        EXPECT_EQ(testsupport::waitExit(reader), 0);
        const auto now = readFile(video);
        EXPECT_EQ(readFile(seen), now) << "the other program read the video whole, as it is now";
        if (c.undone)
            EXPECT_EQ(now, plain);
        else
            EXPECT_EQ(content(now), expectedScramble(plain, {}, static_cast<std::size_t>(c.blocks)));
    }
}

TEST(ProcessFiles, AFileOpenedAheadThatAnotherProgramAsksForMeanwhileIsLeftUntouched) {
    // The group's files are held open while their entries are made durable; a player that asks for
    // the second one by then gets it as it was, before a single byte changes.
    TempDir dir;
    const std::vector<std::string> files = {dir.file("first.mp4"), dir.file("second.mp4")};
    const auto plain = patternBytes(2 * kBlock + 10);
    for (const auto& f : files) writeFile(f, plain);
    engine::TFileTransform transform(flag({}, engine::ftBoth, 2), false);
    transform.UseJournal(engine::TJournal::Create(dir.file("journal")));
    pid_t player = -1;
    int recorded = 0;
    transform.SetStepHookForTesting([&](engine::TToggleStep step) {
        if (step != engine::TToggleStep::JournalRecorded || ++recorded != 2) return;
        player = testsupport::spawnShell(R"(cat "$1" > /dev/null)", {files[1]});
        for (int i = 0; i < 500 && !leaseBreaking(files[1]); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    std::vector<engine::TFileOutcome> outcomes(2);
    transform.ProcessFiles(
        files, {}, [] { return false; },
        [&](std::size_t i, const engine::TFileOutcome& outcome) { outcomes[i] = outcome; });
    transform.FinishJournal();
    ASSERT_GE(player, 0);
    EXPECT_EQ(testsupport::waitExit(player), 0);
    EXPECT_TRUE(outcomes[0].Result.has_value());
    EXPECT_FALSE(outcomes[1].Result.has_value());
    EXPECT_NE(outcomes[1].Error.find("being used by another process"), std::string::npos)
        << outcomes[1].Error;
    EXPECT_EQ(readFile(files[1]), plain);
}

TEST(ProcessFile, OneTransformServesManyFilesAndKeys) {
    // The key streams are cached between files: a change of key must never reuse a stale one.
    TempDir dir;
    const auto a = dir.file("a.mp4");
    const auto b = dir.file("b.mp4");
    const auto plain = patternBytes(2 * kBlock);
    writeFile(a, plain);
    writeFile(b, plain);
    process(b, flag(""));  // b is encrypted without a key

    TFileTransform transform(flag("first"), false);
    EXPECT_EQ(transform.ProcessFile(a, "first").Outcome, TProcessOutcome::Encrypted);
    EXPECT_EQ(transform.ProcessFile(b, "first").Outcome, TProcessOutcome::Decrypted);  // inversion
    EXPECT_EQ(readFile(b), plain);
    EXPECT_EQ(transform.ProcessFile(a, "first").Outcome, TProcessOutcome::Decrypted);
    EXPECT_EQ(readFile(a), plain);
    EXPECT_EQ(transform.ProcessFile(a, "second").Outcome, TProcessOutcome::Encrypted);
    EXPECT_EQ(content(readFile(a)), expectedScramble(plain, "second", 2));
}
