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
    const auto mountPoint = dir.path() / "disk";
    std::filesystem::create_directory(mountPoint);
    if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    struct Unmount {
        std::filesystem::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{mountPoint};

    const auto path = (mountPoint / "clip.mp4").string();
    const auto plain = patternBytes(kBlock * 2);  // a whole number of pages: the trailer needs a new one
    writeFile(path, plain);
    {
        // Fill what is left, page by page.
        const auto fillerPath = (mountPoint / "filler").string();
        writeFile(fillerPath, {});
        auto filler = platform::localFileSystem().open(fillerPath, platform::FileAccess::ReadWrite);
        const std::vector<std::uint8_t> page(4096, 1);
        try {
            for (std::int64_t at = 0;; at += 4096) filler->writeAt(at, page);
        } catch (const platform::FileError&) {
        }
    }
    EXPECT_THROW(process(path, flag("key")), platform::FileError);
    EXPECT_EQ(readFile(path), plain);
}
