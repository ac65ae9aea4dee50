#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QString>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Log.h"
#include "support/TempDir.h"

using platform::TLog;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

std::string text(const std::string& path) {
    const auto bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

std::string lockPath(const std::string& name) {
    return (QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + "/" +
            QString::fromStdString(name))
        .toStdString();
}

}  // namespace

TEST(TLog, TheFirstLineCreatesTheFileAndFoldersLaterLinesAppend) {
    TempDir dir;
    const std::string path = dir.file("a/b/Log.txt");
    TLog log(path, "MX_Test_Log1");
    EXPECT_EQ(log.FileName(), path);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "a")) << "the constructor writes nothing";

    log.LogMsg(QStringLiteral("Start program"));
    ASSERT_TRUE(std::filesystem::exists(path));
    log.LogMsg(QStringLiteral("Schöne Grüße"));
    const std::string content = text(path);
    const auto firstEnd = content.find('\n');
    ASSERT_NE(firstEnd, std::string::npos);
    const std::string first = content.substr(0, firstEnd);
    const std::string second = content.substr(firstEnd + 1);
    // "yyyy-MM-dd hh:mm:ss.zzz  text"
    EXPECT_EQ(first.size(), 23 + 2 + 13u) << first;
    EXPECT_EQ(first[4], '-');
    EXPECT_EQ(first[13], ':');
    EXPECT_TRUE(first.ends_with("  Start program")) << first;
    EXPECT_TRUE(second.ends_with("  Schöne Grüße\n")) << second;
}

TEST(TLog, AppendsToAFileFromAnEarlierRun) {
    TempDir dir;
    const std::string path = dir.file("Log.txt");
    testsupport::writeFile(path, {'o', 'l', 'd', '\n'});
    TLog(path, "MX_Test_Log2").LogMsg(QStringLiteral("over"));
    const std::string content = text(path);
    EXPECT_TRUE(content.starts_with("old\n"));
    EXPECT_TRUE(content.ends_with("  over\n"));
}

TEST(TLog, EachLineWaitsForTheCrossProcessLock) {
    TempDir dir;
    const std::string path = dir.file("Log.txt");
    TLog log(path, "MX_Test_Log3");
    log.LogMsg(QStringLiteral("first"));  // the lock file exists from here on

    // Another process's hold on the lock is an open file description of its own.
    const int other = ::open(lockPath("MX_Test_Log3").c_str(), O_RDWR);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    std::atomic<bool> written{false};
    std::thread writer([&] {
        log.LogMsg(QStringLiteral("second"));
        written = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(written) << "wrote while another process held the lock";
    EXPECT_EQ(text(path).find("second"), std::string::npos);
    ::flock(other, LOCK_UN);
    writer.join();
    ::close(other);
    EXPECT_NE(text(path).find("  second\n"), std::string::npos);
}

TEST(TLog, MsgOutWritesThroughTheLogInUse) {
    TempDir dir;
    const std::string path = dir.file("Log.txt");
    platform::MsgOut(QStringLiteral("nowhere"));  // no log yet: nothing happens
    platform::LogObj = std::make_unique<TLog>(path, "MX_Test_Log4");
    platform::MsgOut(QStringLiteral("hello"));
    platform::LogObj.reset();
    platform::MsgOut(QStringLiteral("gone"));
    const std::string content = text(path);
    EXPECT_NE(content.find("  hello\n"), std::string::npos);
    EXPECT_EQ(content.find("gone"), std::string::npos);
    EXPECT_EQ(content.find("nowhere"), std::string::npos);
}

// A process that keeps the log's lock (hung, or hostile) must not stop the program: a line waits a
// moment for it, then goes in without it, and later lines do not wait again.
TEST(TLog, ALockHeldForGoodDelaysOneLineAndNoMore) {
    TempDir dir;
    const std::string path = dir.file("Log.txt");
    TLog log(path, "MX_Test_Log5");
    log.LogMsg(QStringLiteral("first"));
    const int other = ::open(lockPath("MX_Test_Log5").c_str(), O_RDWR);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    log.LogMsg(QStringLiteral("second"));
    log.LogMsg(QStringLiteral("third"));
    ::close(other);
    const std::string content = text(path);
    EXPECT_NE(content.find("  second\n"), std::string::npos);
    EXPECT_NE(content.find("  third\n"), std::string::npos);
}

TEST(TLog, ALogNameTakenByAFifoHoldsNothingUp) {
    TempDir dir;
    const std::string path = dir.file("Log.txt");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    TLog log(path, "MX_Test_Log6");
    log.LogMsg(QStringLiteral("nobody reads this"));  // returns: the FIFO has no reader and is not waited on
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A link to nothing: the append must not create what it names.
    const std::string dangling = dir.file("Log2.txt");
    std::filesystem::create_symlink(dir.file("elsewhere"), dangling);
    TLog linked(dangling, "MX_Test_Log7");
    linked.LogMsg(QStringLiteral("not here"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("elsewhere")));
}

TEST(LogFileNameIn, NamesWithNumbersNoRunReachesAreNotCountedOn) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    testsupport::writeFile(folder + "Log.txt", {1});
    // Made by hand, and past the reuse limit: counting on from it would overflow.
    const std::string outsider = folder + "Log9223372036854775807.txt";
    testsupport::writeFile(outsider, {1});
    std::filesystem::resize_file(outsider, platform::kLogReuseLimit + 1);
    EXPECT_EQ(platform::LogFileNameIn(folder), folder + "Log.txt");
    testsupport::writeFile(folder + "Log3.txt", {1});
    EXPECT_EQ(platform::LogFileNameIn(folder), folder + "Log3.txt");
}
