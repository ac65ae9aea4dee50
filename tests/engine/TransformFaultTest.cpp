// Failures in the middle of a toggle: the file must come out exactly as it went in.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>
#include <cstring>
#include <filesystem>

#include "EngineTestUtil.h"
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

// A small tmpfs under `dir` for the test's length, to fill up. Needs root (as CI runs).
struct SmallDisk {
    std::filesystem::path at;
    bool mounted = false;
    SmallDisk(const TempDir& dir, const std::string& size) : at(dir.path() / "disk") {
        std::filesystem::create_directory(at);
        mounted = ::geteuid() == 0 && ::mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted) ::umount2(at.c_str(), MNT_DETACH);
    }
    // Fills what is left, page by page, then frees `leave` bytes again.
    void fill(std::int64_t leave = 0) const {
        const auto fillerPath = (at / "filler").string();
        writeFile(fillerPath, {});
        auto filler = platform::localFileSystem().open(fillerPath, platform::FileAccess::ReadWrite);
        const std::vector<std::uint8_t> page(4096, 1);
        try {
            for (std::int64_t offset = 0;; offset += 4096) filler->writeAt(offset, page);
        } catch (const platform::FileError&) {
        }
        filler->setSize(filler->size() - leave);
    }
};

void overwriteTrailerSize(const std::string& path, std::int32_t size) {
    auto bytes = readFile(path);
    std::int32_t inverted = ~size;
    std::memcpy(bytes.data() + bytes.size() - 4, &inverted, 4);
    writeFile(path, bytes);
}

}  // namespace

TEST(TransformFaults, ATrailerSizeOtherThan96NeverCutsTheFile) {
    TempDir dir;
    const auto path = dir.file("clip.mp4");
    writeFile(path, patternBytes(2 * kBlock));
    process(path, flag("k"));
    for (std::int32_t size : {0, 95, 97, 1000, -96, 1 << 30}) {
        overwriteTrailerSize(path, size);
        const auto before = readFile(path);
        EXPECT_THROW(process(path, flag("k")), TransformError) << size;
        EXPECT_EQ(readFile(path), before) << size;
    }
}

TEST(TransformFaults, ATrailerOnAFileTooShortToHaveBeenEncryptedIsRefused) {
    // Every encrypted file holds a whole block before its trailer; cutting 96 bytes off anything
    // shorter would only destroy data.
    TempDir dir;
    const auto donor = dir.file("donor.mp4");
    writeFile(donor, patternBytes(kBlock));
    process(donor, flag(""));
    const auto encrypted = readFile(donor);
    std::vector<std::uint8_t> forged = patternBytes(kBlock - 50);
    forged.insert(forged.end(), encrypted.end() - 96, encrypted.end());  // 524,334 bytes in all

    const auto path = dir.file("forged.mp4");
    writeFile(path, forged);
    EXPECT_THROW(process(path, flag("")), TransformError);
    EXPECT_EQ(readFile(path), forged);
}

TEST(TransformFaults, KeysTheTrailerCannotHoldAreRefusedBeforeAnyWrite) {
    TempDir dir;
    const auto path = dir.file("clip.mp4");
    const auto plain = patternBytes(kBlock);
    writeFile(path, plain);
    EXPECT_THROW(process(path, flag(std::string(65, 'k'))), TransformError);
    EXPECT_THROW(process(path, flag(std::string("a\0b", 3))), TransformError);
    EXPECT_EQ(readFile(path), plain);
}

// Every write, resize or reservation that can fail during a toggle, in both directions: whole and
// partial writes, first and later blocks, the trailer and the cut.
TEST(TransformFaults, AnyFailureAfterTheFirstRewriteLeavesTheFileByteIdentical) {
    TempDir dir;
    const auto path = dir.file("clip.mkv");
    const auto plain = patternBytes(3 * kBlock + 1234);

    struct Case {
        const char* what;
        bool fromEncrypted;
        FaultyFileSystem::Fault fault;
    };
    const Case cases[] = {
        // On encryption the trailer is the first write, the blocks follow.
        {"appending the trailer", false, {FileOp::Write, 1, ENOSPC}},
        {"appending half the trailer", false, {FileOp::Write, 1, ENOSPC, true}},
        {"writing the first block", false, {FileOp::Write, 2, EIO}},
        {"half-writing the first block", false, {FileOp::Write, 2, EIO, true}},
        {"half-writing the third block", false, {FileOp::Write, 4, EIO, true}},
        {"reading the second block", false, {FileOp::Read, 3, EIO}},  // read 1 is the trailer
        {"cutting the trailer off", true, {FileOp::SetSize, 1, EIO}},
        {"half-writing the second block on decryption", true, {FileOp::Write, 2, EIO, true}},
    };
    // Kept by the setting: an undone toggle puts the last-write time back too, not only the bytes.
    const platform::FileTime old{1'200'000'000, 123'456'789};
    const auto fileTime = [&] {
        return platform::localFileSystem().open(path, platform::FileAccess::Read)->lastWriteTime();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path, plain);
        if (c.fromEncrypted) process(path, flag("key"));
        platform::localFileSystem().open(path, platform::FileAccess::Write)->setLastWriteTime(old);
        const auto before = readFile(path);

        FaultyFileSystem fs(c.fault);
        TFileTransform transform(flag("key"), true, fs);
        EXPECT_THROW(transform.ProcessFile(path, "key"), platform::FileError);
        EXPECT_EQ(readFile(path), before);
        EXPECT_EQ(fileTime(), old);
    }
}

// The room a toggle needs is claimed before anything changes: a disk that cannot give it refuses the
// file whole, and says why.
TEST(TransformFaults, NoRoomForTheToggleRefusesTheFileUnchanged) {
    TempDir dir;
    const auto path = dir.file("clip.mkv");
    struct Case {
        const char* what;
        bool fromEncrypted;
        FaultyFileSystem::Fault fault;
        const char* says;
    };
    const Case cases[] = {
        {"the blocks", false, {FileOp::Reserve, 1, ENOSPC}, "no room for the blocks"},
        {"the trailer", false, {FileOp::Reserve, 2, ENOSPC}, "no room for the blocks"},
        {"the blocks on decryption", true, {FileOp::Reserve, 1, EDQUOT}, "no room for the blocks"},
        {"a failing disk", false, {FileOp::Reserve, 1, EIO}, "could not be reserved (Input/output error)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path, patternBytes(3 * kBlock + 1234));
        if (c.fromEncrypted) process(path, flag("key"));
        const auto before = readFile(path);

        FaultyFileSystem fs(c.fault);
        TFileTransform transform(flag("key"), false, fs);
        try {
            transform.ProcessFile(path, "key");
            ADD_FAILURE() << "toggled";
        } catch (const platform::FileError& error) {
            const std::string what = error.what();
            EXPECT_NE(what.find(c.says), std::string::npos) << what;
            EXPECT_NE(what.find("the file was not changed"), std::string::npos) << what;
            EXPECT_EQ(error.errorNumber(), c.fault.errorNumber);
        }
        EXPECT_EQ(fs.calls(FileOp::Write), 0);
        EXPECT_EQ(readFile(path), before);
    }
}

TEST(TransformFaults, AFailedUndoSaysSo) {
    TempDir dir;
    const auto path = dir.file("clip.mkv");
    writeFile(path, patternBytes(2 * kBlock));
    // The second block's write fails, and so does every write after it, the undo's included.
    FaultyFileSystem fs({FileOp::Write, 3, EIO, false, true});
    TFileTransform transform(flag("key"), false, fs);
    try {
        transform.ProcessFile(path, "key");
        FAIL();
    } catch (const TransformError& error) {
        EXPECT_NE(std::string(error.what()).find("could not be put back"), std::string::npos) << error.what();
    }
}

TEST(TransformFaults, AShortTrailerReadIsAnError) {
    TempDir dir;
    const auto path = dir.file("clip.mkv");
    const auto plain = patternBytes(kBlock + 10);
    writeFile(path, plain);
    FaultyFileSystem fs({FileOp::Read, 1, EIO});
    TFileTransform transform(flag(), false, fs);
    EXPECT_THROW(transform.ProcessFile(path, ""), platform::FileError);
    EXPECT_EQ(readFile(path), plain);
}

// A real full disk: a small tmpfs, filled up. Needs root (as CI runs); skipped elsewhere.
TEST(TransformFaults, AFullDiskLeavesTheVideoUntouched) {
    TempDir dir;
    const SmallDisk disk(dir, "2m");
    if (!disk.mounted) GTEST_SKIP() << "needs root to mount a small tmpfs";

    const auto path = (disk.at / "clip.mp4").string();
    const auto plain = patternBytes(kBlock * 2);  // a whole number of pages: the trailer needs a new one
    writeFile(path, plain);
    disk.fill();
    EXPECT_THROW(process(path, flag("key")), platform::FileError);
    EXPECT_EQ(readFile(path), plain);
}

// A sparse stream (partial downloads often are) on a nearly full disk: its holes take room only as
// they are rewritten, so without a reservation the disk would fill half way through the blocks, and
// the undo would find no room either.
TEST(TransformFaults, ASparseStreamLargerThanTheFreeSpaceIsRefusedUnchanged) {
    TempDir dir;
    const SmallDisk disk(dir, "8m");
    if (!disk.mounted) GTEST_SKIP() << "needs root to mount a small tmpfs";

    // One block of transport-stream packets, then holes up to 200 MiB.
    constexpr std::int64_t size = std::int64_t{200} << 20;
    std::vector<std::uint8_t> head(kBlock);
    for (std::size_t at = 0; at < head.size(); at += 188) head[at] = 0x47;
    const auto path = (disk.at / "download.ts").string();
    writeFile(path, head);
    platform::localFileSystem().open(path, platform::FileAccess::Write)->setSize(size);
    disk.fill(3 * std::int64_t{kBlock});  // room for the trailer and a few blocks, not for all 400

    auto params = flag("key");
    params.WholeStreams = true;
    // Where the file system cannot reserve, the holes are weighed against the free space.
    for (const bool canReserve : {true, false}) {
        SCOPED_TRACE(canReserve ? "reserved" : "weighed");
        FaultyFileSystem cannotReserve({FileOp::Reserve, 1, EOPNOTSUPP, false, true});
        TFileTransform transform(params, false, canReserve ? platform::localFileSystem() : cannotReserve);
        try {
            transform.ProcessFile(path, params.Key);
            ADD_FAILURE() << "toggled";
        } catch (const std::exception& error) {
            EXPECT_NE(std::string(error.what()).find("no room"), std::string::npos) << error.what();
        }
        const auto after = readFile(path);
        ASSERT_EQ(after.size(), static_cast<std::size_t>(size));
        ASSERT_TRUE(std::equal(head.begin(), head.end(), after.begin()));
        ASSERT_TRUE(std::all_of(after.begin() + kBlock, after.end(), [](std::uint8_t b) { return b == 0; }));
    }
}
