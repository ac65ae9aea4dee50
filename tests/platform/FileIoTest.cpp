#include <gtest/gtest.h>

#include <sys/stat.h>
#include <filesystem>

#include "platform/FileIo.h"
#include "support/OtherProcess.h"
#include "support/TempDir.h"

using platform::FileAccess;
using platform::FileError;
using platform::localFileSystem;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

}  // namespace

TEST(FileIo, SecondOpenOfAnOpenFileFailsLikeASharingViolation) {
    TempDir dir;
    const auto path = dir.file("video.mp4");
    testsupport::writeFile(path, bytes({1, 2, 3}));

    for (auto first : {FileAccess::Read, FileAccess::ReadWrite}) {
        for (auto second : {FileAccess::Read, FileAccess::Write, FileAccess::ReadWrite}) {
            auto held = localFileSystem().open(path, first);
            try {
                localFileSystem().open(path, second);
                FAIL() << "a second open must fail while the file is held";
            } catch (const FileError& error) {
                EXPECT_EQ(error.path(), path);
                EXPECT_NE(std::string(error.what()).find("being used by another process"), std::string::npos);
            }
        }
    }
    // Released on close.
    EXPECT_NO_THROW(localFileSystem().open(path, FileAccess::ReadWrite));
}

// As the program would be refused by Windows: a file that another program has open, to read it (a
// player) or to write it (a download, an editor), is not opened, so it cannot be changed under that
// program.
TEST(FileIo, AFileAnotherProcessHasOpenIsRefused) {
    TempDir dir;
    const auto path = dir.file("held.mp4");
    const std::vector<std::uint8_t> content = testsupport::patternBytes(600 * 1024);
    testsupport::writeFile(path, content);
    using Mode = testsupport::OtherProcessHolding::Mode;
    for (const Mode mode : {Mode::Read, Mode::Write}) {
        {
            const testsupport::OtherProcessHolding other(path, mode);
            for (const auto access : {FileAccess::Read, FileAccess::ReadWrite}) {
                try {
                    localFileSystem().open(path, access);
                    FAIL() << "opened a file another process holds";
                } catch (const FileError& error) {
                    EXPECT_NE(std::string(error.what()).find("being used by another process"),
                              std::string::npos)
                        << error.what();
                }
            }
        }
        // The other process has ended: the file is free again, and nothing changed it.
        auto file = localFileSystem().open(path, FileAccess::ReadWrite);
        EXPECT_FALSE(file->contended());
    }
    EXPECT_EQ(testsupport::readFile(path), content);
}

TEST(FileIo, OpenFailuresCarryThePathAndTheSystemText) {
    TempDir dir;
    const auto missing = dir.file("missing.avi");
    try {
        localFileSystem().open(missing, FileAccess::Read);
        FAIL();
    } catch (const FileError& error) {
        EXPECT_EQ(error.path(), missing);
        EXPECT_EQ(std::string(error.what()), missing + ": No such file or directory");
        EXPECT_EQ(error.errorNumber(), ENOENT);
    }
    EXPECT_THROW(localFileSystem().open(dir.path().string(), FileAccess::Read), FileError);
}

TEST(FileIo, PositionedReadWriteAndSize) {
    TempDir dir;
    const auto path = dir.file("a.bin");
    testsupport::writeFile(path, bytes({0, 1, 2, 3, 4, 5, 6, 7}));
    auto file = localFileSystem().open(path, FileAccess::ReadWrite);
    EXPECT_EQ(file->size(), 8);

    std::vector<std::uint8_t> two(2);
    file->readAt(3, two);
    EXPECT_EQ(two, bytes({3, 4}));

    file->writeAt(6, bytes({9, 9, 9, 9}));  // past the end: grows
    EXPECT_EQ(file->size(), 10);
    file->setSize(4);
    EXPECT_EQ(file->size(), 4);
    file.reset();
    EXPECT_EQ(testsupport::readFile(path), bytes({0, 1, 2, 3}));
}

TEST(FileIo, AReadBeyondTheEndIsAnErrorNotAShortCount) {
    TempDir dir;
    const auto path = dir.file("short.bin");
    testsupport::writeFile(path, bytes({1, 2, 3}));
    auto file = localFileSystem().open(path, FileAccess::Read);
    std::vector<std::uint8_t> four(4);
    EXPECT_THROW(file->readAt(0, four), FileError);
    EXPECT_THROW(file->readAt(3, std::span(four).first(1)), FileError);
}

TEST(FileIo, WritingThroughAReadOnlyOpenFails) {
    TempDir dir;
    const auto path = dir.file("ro.bin");
    testsupport::writeFile(path, bytes({1}));
    auto file = localFileSystem().open(path, FileAccess::Read);
    EXPECT_THROW(file->writeAt(0, bytes({2})), FileError);
    EXPECT_THROW(file->setSize(0), FileError);
}

TEST(FileIo, ReserveKeepsTheSize) {
    TempDir dir;
    const auto path = dir.file("r.bin");
    testsupport::writeFile(path, bytes({1, 2, 3}));
    auto file = localFileSystem().open(path, FileAccess::ReadWrite);
    file->reserve(3, 96);
    EXPECT_EQ(file->size(), 3);
}

TEST(FileIo, LastWriteTimeKeepsNanoseconds) {
    TempDir dir;
    const auto path = dir.file("t.bin");
    testsupport::writeFile(path, bytes({1}));
    const platform::FileTime wanted{1'500'000'000, 123'456'789};
    localFileSystem().open(path, FileAccess::Write)->setLastWriteTime(wanted);
    EXPECT_EQ(localFileSystem().open(path, FileAccess::Read)->lastWriteTime(), wanted);

    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, wanted.seconds);
    EXPECT_EQ(st.st_mtim.tv_nsec, wanted.nanoseconds);
}

// The folder services the recovery journal relies on.
TEST(FileIo, JournalFolderServices) {
    TempDir dir;
    const auto from = dir.file("a.vjournal-new");
    writeFile(from, {1, 2, 3});
    platform::renameFile(from, dir.file("a.vjournal"));
    EXPECT_EQ(platform::listFiles(dir.path().string(), ".vjournal"),
              std::vector<std::string>{dir.file("a.vjournal")});
    EXPECT_THROW(platform::renameFile(from, dir.file("b.vjournal")), platform::FileError);

    // A video's folder that is gone: the file system above it is synced instead.
    EXPECT_NO_THROW(platform::syncFileSystemOf(dir.file("gone/deeper/clip.mp4")));

    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    EXPECT_EQ(platform::canonicalPath("./a.vjournal"),
              std::filesystem::canonical(dir.file("a.vjournal")).string());
    std::filesystem::current_path(cwd);
    EXPECT_EQ(platform::canonicalPath("/no/such/file"), "/no/such/file");

    EXPECT_FALSE(platform::bootId().empty());
    EXPECT_EQ(platform::bootId(), platform::bootId());
}
