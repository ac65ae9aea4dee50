#include <gtest/gtest.h>

#include <cstring>

#include "engine/Trailer.h"
#include "platform/FileIo.h"
#include "support/OtherProcess.h"
#include "support/TempDir.h"

using namespace engine;
using testsupport::TempDir;

namespace {

TKZVTrailer makeRecord(std::string_view key, std::int32_t blocks, std::string_view version) {
    TKZVTrailer r{};
    std::memcpy(r.Key, key.data(), key.size());
    r.Blocks = blocks;
    std::memcpy(r.Version, version.data(), version.size());
    std::memcpy(r.Magic, kMagic.data(), kMagic.size());
    r.Size = 96;
    return r;
}

std::vector<std::uint8_t> storedTrailer(const std::string& path) {
    const auto all = testsupport::readFile(path);
    return {all.end() - 96, all.end()};
}

}  // namespace

TEST(Trailer, IsStoredInvertedByteForByte) {
    TempDir dir;
    const auto path = dir.file("v.mkv");
    testsupport::writeFile(path, testsupport::patternBytes(1000));
    const auto record = makeRecord("abc", 8, "2.4.1");
    const auto before = record;
    {
        auto file = platform::localFileSystem().open(path, platform::FileAccess::ReadWrite);
        WriteTrailer(*file, record);
    }
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << "the record passed in must not change";

    const auto t = storedTrailer(path);
    ASSERT_EQ(testsupport::readFile(path).size(), 1096u);
    EXPECT_EQ(t[0], static_cast<std::uint8_t>(~'a'));
    EXPECT_EQ(t[2], static_cast<std::uint8_t>(~'c'));
    for (int i = 3; i < 64; ++i) EXPECT_EQ(t[i], 0xFF) << "unused key byte " << i;
    EXPECT_EQ((std::vector<std::uint8_t>{t[64], t[65], t[66], t[67]}),
              (std::vector<std::uint8_t>{0xF7, 0xFF, 0xFF, 0xFF}));  // Blocks 8, little-endian
    EXPECT_EQ(t[68], static_cast<std::uint8_t>(~'2'));
    for (int i = 73; i < 81; ++i) EXPECT_EQ(t[i], 0xFF) << "unused version byte " << i;
    for (int i = 0; i < 11; ++i) EXPECT_EQ(t[81 + i], static_cast<std::uint8_t>(~kMagic[i]));
    EXPECT_EQ((std::vector<std::uint8_t>{t[92], t[93], t[94], t[95]}),
              (std::vector<std::uint8_t>{0x9F, 0xFF, 0xFF, 0xFF}));  // Size 96
}

TEST(Trailer, ReadsBackWhatWasWrittenAndZeroesAnyOtherMagic) {
    TempDir dir;
    const auto path = dir.file("v.mkv");
    const std::string key64(64, 'k');
    const auto record = makeRecord(key64, -3, "1234567890123");  // full-width text fields
    for (const char* magic : {"KZVaultmark", "KZVaultmarK", "kzvaultmark", "KZVaultmar\0"}) {
        testsupport::writeFile(path, testsupport::patternBytes(2000));
        auto file = platform::localFileSystem().open(path, platform::FileAccess::ReadWrite);
        auto written = record;
        std::memcpy(written.Magic, magic, 11);
        WriteTrailer(*file, written);

        TKZVTrailer read;
        std::memset(&read, 0xAB, sizeof read);
        ReadTrailer(*file, read);
        if (std::string_view(magic, 11) == kMagic) {
            EXPECT_TRUE(IsValidTrailer(read));
            EXPECT_EQ(FieldText(read.Key, kKeyFieldSize), key64) << "a 64-byte key has no terminator";
            EXPECT_EQ(FieldText(read.Version, kVersionFieldSize), "1234567890123");
            EXPECT_EQ(read.Blocks, -3);
            EXPECT_EQ(read.Size, 96);
        } else {
            EXPECT_FALSE(IsValidTrailer(read)) << magic;
            const TKZVTrailer zero{};
            EXPECT_EQ(std::memcmp(&read, &zero, sizeof read), 0) << "an invalid record reads as all zero";
        }
    }
}

TEST(Trailer, OnlyTheMagicDecidesValidity) {
    auto record = makeRecord("", 0, "");
    record.Size = 12345;
    record.Blocks = -1;
    EXPECT_TRUE(IsValidTrailer(record));
    record.Magic[10] = 'K';
    EXPECT_FALSE(IsValidTrailer(record));
}

TEST(Trailer, QuickTestLooksOnlyAtTheMagicOfFilesAboveOneBlock) {
    TempDir dir;
    const auto path = dir.file("v.avi");
    const auto record = makeRecord("key", 8, "1.0.0");
    auto withTrailer = [&](std::size_t contentSize) {
        testsupport::writeFile(path, testsupport::patternBytes(contentSize));
        auto file = platform::localFileSystem().open(path, platform::FileAccess::ReadWrite);
        WriteTrailer(*file, record);
    };

    withTrailer(static_cast<std::size_t>(kBlockSize) - 96);  // exactly one block in all
    EXPECT_FALSE(IsEncryptedFile(path)) << "a file of exactly 524,288 bytes is never encrypted";
    withTrailer(static_cast<std::size_t>(kBlockSize) - 95);
    EXPECT_TRUE(IsEncryptedFile(path));

    testsupport::writeFile(path, testsupport::patternBytes(static_cast<std::size_t>(kBlockSize) * 2));
    EXPECT_FALSE(IsEncryptedFile(path));
    testsupport::writeFile(path, {});
    EXPECT_FALSE(IsEncryptedFile(path));
}

TEST(Trailer, QuickTestPassesOpenFailuresOn) {
    TempDir dir;
    EXPECT_THROW(IsEncryptedFile(dir.file("missing.mp4")), platform::FileError);

    const auto path = dir.file("busy.mp4");
    testsupport::writeFile(path, testsupport::patternBytes(600'000));
    {
        auto held = platform::localFileSystem().open(path, platform::FileAccess::ReadWrite);
        EXPECT_THROW(IsEncryptedFile(path), platform::FileError);
    }
    // Another program playing the file: the file list and --status say so rather than look at it.
    const testsupport::OtherProcessHolding player(path, testsupport::OtherProcessHolding::Mode::Read);
    EXPECT_THROW(IsEncryptedFile(path), platform::FileError);
}
