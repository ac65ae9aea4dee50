#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>

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

// An open never waits: not for a FIFO's other end, not for another holder's lease to break (the
// kernel's break time is 45 s). Each is refused at once, and a holder's lease is not even disturbed:
// a look (velmora-cli --status, the window's lock icons) must not make a running toggle give up.
TEST(FileIo, AnOpenThatWouldWaitIsRefusedAtOnce) {
    TempDir dir;
    const auto fifo = dir.file("fifo.mp4");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto leased = dir.file("leased.mp4");
    testsupport::writeFile(leased, bytes({1, 2, 3}));
    // Another process of ours holds the second file as a toggle does, lease and all.
    int ready[2];
    int looked[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(looked), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        auto held = localFileSystem().open(leased, FileAccess::ReadWrite);
        (void)!::write(ready[1], "r", 1);
        char done = 0;
        (void)!::read(looked[0], &done, 1);
        ::_exit(held->contended() ? 1 : 0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    for (const std::string& path : {fifo, leased}) {
        SCOPED_TRACE(path);
        auto opening = std::async(std::launch::async, [&path] {
            try {
                localFileSystem().open(path, FileAccess::Read);
            } catch (const FileError&) {
                return true;
            }
            return false;
        });
        const bool answered = opening.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        EXPECT_TRUE(answered) << "the open waited";
        if (!answered && path == fifo) ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // free it
        EXPECT_TRUE(opening.get()) << "refused";
    }
    (void)!::write(looked[1], "d", 1);
    int status = -1;
    ::waitpid(holder, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the holder was asked to give the file up";
    for (const int fd : {ready[0], ready[1], looked[0], looked[1]}) ::close(fd);
}

// Where no lease can be had (here: a file another account owns, opened by a user without the right
// to lease it; on network and FUSE file systems alike), the advisory lock alone keeps two opens apart.
TEST(FileIo, WithoutALeaseTheLockStillKeepsASecondOpenOut) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    TempDir dir;
    const auto path = dir.file("theirs.mp4");
    testsupport::writeFile(path, bytes({1, 2, 3}));
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(12345) != 0 || ::setuid(12345) != 0) ::_exit(3);
        try {
            auto first = localFileSystem().open(path, FileAccess::ReadWrite);
            try {
                localFileSystem().open(path, FileAccess::ReadWrite);
            } catch (const FileError&) {
                ::_exit(0);  // kept out
            }
            ::_exit(1);
        } catch (const FileError&) {
            ::_exit(2);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: both opens held the file at once; 2: the first failed; 3: no user";
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

// What the recovery journal applies must be the user's own: a folder or file that another user could
// have put there, or could change, is refused, saying why.
TEST(FileIo, PrivateFoldersAndFilesAreTheUsersOwnAlone) {
    TempDir dir;
    const auto withMode = [](std::string path, mode_t mode) {
        ::chmod(path.c_str(), mode);
        return path;
    };
    const auto folder = [&](const char* name, mode_t mode) {
        std::filesystem::create_directory(dir.file(name));
        return withMode(dir.file(name), mode);
    };
    const auto file = [&](const char* name, mode_t mode) {
        writeFile(dir.file(name), bytes({1}));
        return withMode(dir.file(name), mode);
    };
    const auto link = [&](const char* name, const std::string& target) {
        std::filesystem::create_symlink(target, dir.file(name));
        return dir.file(name);
    };
    auto& fs = localFileSystem();
    const auto check = [&](const std::string& p) { fs.checkPrivateFolder(p); };
    const auto makeIt = [&](const std::string& p) { fs.makePrivateFolder(p); };
    const auto open = [&](const std::string& p) { fs.openPrivate(p); };
    struct Case {
        std::string path;
        std::function<void(const std::string&)> use;
        std::string reason;  // empty: accepted
        int errorNumber = 0;
    };
    const auto real = folder("real", 0700);
    std::vector<Case> cases = {
        {link("to-folder", real), check, "is a symbolic link, not a folder", ELOOP},
        {dir.file("to-folder/"), makeIt, "is a symbolic link, not a folder", ELOOP},
        {link("dangling", dir.file("nothing")), check, "is a symbolic link, not a folder", ELOOP},
        {folder("open", 0777), check, "can be written by other users", EPERM},
        {folder("shared", 0770), makeIt, "", 0},  // ours: closed to others
        {file("plain", 0600), check, "is not a folder", ENOTDIR},
        {link("journal.link", file("decoy", 0600)), open, "is a symbolic link", ELOOP},
        {file("open.bin", 0666), open, "can be written by other users", EPERM},
        {real, check, "", 0},
        {dir.file("new/journal"), makeIt, "", 0},
        {file("mine.bin", 0600), open, "", 0},
    };
    if (::geteuid() == 0) {  // only root can give a file away
        const auto theirs = folder("theirs", 0700);
        const auto theirsFile = file("theirs.bin", 0600);
        ASSERT_EQ(::chown(theirs.c_str(), 12345, 12345), 0);
        ASSERT_EQ(::chown(theirsFile.c_str(), 12345, 12345), 0);
        cases.push_back({theirs, check, "is owned by another user", EPERM});
        cases.push_back({theirsFile, open, "is owned by another user", EPERM});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        try {
            c.use(c.path);
            EXPECT_EQ(c.reason, "") << "accepted";
        } catch (const FileError& error) {
            const auto named = c.path.ends_with('/') ? c.path.substr(0, c.path.size() - 1) : c.path;
            EXPECT_EQ(std::string(error.what()), named + ": " + c.reason);
            EXPECT_EQ(error.errorNumber(), c.errorNumber);
        }
    }
    struct stat st {};
    for (const char* made : {"new/journal", "shared"}) {
        ASSERT_EQ(::stat(dir.file(made).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
    }
    EXPECT_EQ(fs.openPrivate(dir.file("mine.bin"))->owner(), ::geteuid());
}

// The standard library says "File exists" for whatever stands in the way of a new folder.
TEST(FileIo, AFolderThatCannotBeMadeSaysWhatIsInTheWay) {
    TempDir dir;
    const auto dangling = dir.file("dangling");
    std::filesystem::create_symlink(dir.file("nothing"), dangling);
    const auto plain = dir.file("plain");
    writeFile(plain, bytes({1}));
    for (const auto& [path, what] :
         {std::pair{dangling, dangling + ": is a symbolic link to something that does not exist"},
          std::pair{dangling + "/journal",
                    dangling + ": is a symbolic link to something that does not exist"},
          std::pair{plain + "/journal", plain + ": is not a folder"}}) {
        try {
            platform::makeFolder(path);
            ADD_FAILURE() << path << " made";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), what);
        }
    }
}

TEST(FileIo, HolesAreCountedWithinTheFile) {
    constexpr std::int64_t mib = 1 << 20;
    TempDir dir;
    const auto path = dir.file("partial.ts");
    writeFile(path, {});
    const auto file = localFileSystem().open(path, FileAccess::ReadWrite);
    file->setSize(4 * mib);
    file->writeAt(mib, std::vector<std::uint8_t>(static_cast<std::size_t>(mib), 7));  // data: 1 to 2 MiB
    if (file->holeBytes(0, 4 * mib) == 0) GTEST_SKIP() << "this file system does not tell its holes";
    struct Case {
        std::int64_t offset, length, holes;
    };
    for (const Case& c : {Case{0, 4 * mib, 3 * mib}, Case{mib, mib, 0}, Case{mib / 2, mib, mib / 2},
                          Case{3 * mib, 4 * mib, mib}, Case{4 * mib, mib, 0}}) {
        EXPECT_EQ(file->holeBytes(c.offset, c.length), c.holes) << c.offset << " + " << c.length;
    }
    EXPECT_GT(localFileSystem().freeBytes(dir.path().string()), 0);
    EXPECT_THROW(localFileSystem().freeBytes(dir.file("missing/folder")), FileError);
}
