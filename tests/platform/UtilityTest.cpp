#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include <QLocale>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Version.h"
#include "platform/Utility.h"
#include "support/TempDir.h"

using namespace platform;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

TEST(Utility, PureFileNameDropsFolderAndLastExtension) {
    EXPECT_EQ(PureFileName("/data/Brindlework/Velmora/Log3.txt"), "Log3");
    EXPECT_EQ(PureFileName("Languages/English.xml"), "English");
    EXPECT_EQ(PureFileName("/a.b/clip.tar.gz"), "clip.tar") << "only the last extension goes";
    EXPECT_EQ(PureFileName("/a.b/noext"), "noext") << "a dot in a folder name is no extension";
    EXPECT_EQ(PureFileName("Log.txt"), "Log");
}

TEST(Utility, DivStrToListAndDeleteEnd) {
    using V = std::vector<std::string>;
    EXPECT_EQ(DivStrToList(".asf;.avi;;.wm;", ";"), (V{".asf", ".avi", ".wm"}));
    EXPECT_EQ(DivStrToList(".asf;.avi;;.wm;", ";", true), (V{".asf", ".avi", "", ".wm", ""}));
    EXPECT_EQ(DivStrToList("", ";"), V{});
    EXPECT_EQ(DivStrToList("a, b,,c", ", "), (V{"a", "b,,c"}));
    EXPECT_EQ(DeleteEnd("*.asf;*.avi;"), "*.asf;*.avi");
    EXPECT_EQ(DeleteEnd(""), "");
    EXPECT_EQ(DeleteEnd("ab", 5), "");
}

TEST(Utility, StrToFloatDefExIsTolerant) {
    EXPECT_DOUBLE_EQ(StrToFloatDefEx(" 2.5 "), 2.5);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx("2,5"), 2.5) << "a file written where the separator is a comma";
    EXPECT_DOUBLE_EQ(StrToFloatDefEx("-1e3"), -1000);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx("abc", 7), 7);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx("", 7), 7);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx("nan", 7), 7);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx("inf", 7), 7);

    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_DOUBLE_EQ(StrToFloatDefEx("2,5"), 2.5);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx("2.5"), 2.5);
    // Group separators are not read: in English "1,500" is no fifteen hundred.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_DOUBLE_EQ(StrToFloatDefEx("1,500"), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx("1500"), 1500);
    QLocale::setDefault(saved);
}

TEST(Utility, FilesSizeAndCopy) {
    TempDir dir;
    const auto source = dir.file("SetupLang.ini");
    const auto target = dir.file("copy.ini");
    EXPECT_EQ(GetFileSize(source), -1);
    EXPECT_FALSE(CopyFileEx(source, target));
    EXPECT_FALSE(std::filesystem::exists(target));

    writeFile(source, {'n', 'e', 'w'});
    writeFile(target, {'o', 'l', 'd', '!'});
    EXPECT_EQ(GetFileSize(source), 3);
    EXPECT_TRUE(CopyFileEx(source, target));
    EXPECT_EQ(readFile(target), readFile(source));

    // A target that cannot be written keeps what it had.
    const auto lockedDir = dir.path() / "locked";
    std::filesystem::create_directory(lockedDir);
    const auto kept = (lockedDir / "kept.ini").string();
    writeFile(kept, {'k'});
    std::filesystem::permissions(lockedDir,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::access(lockedDir.c_str(), W_OK) != 0) {  // root may write anyway
        EXPECT_FALSE(CopyFileEx(source, kept));
        EXPECT_EQ(readFile(kept), std::vector<std::uint8_t>{'k'});
    }

    // A copy that fails half-way (the disk fills up; here a file size limit, which holds for root
    // too) leaves the target as it was and no partial copy beside it.
    const std::vector<std::uint8_t> large(64 * 1024, 'L');
    writeFile(source, large);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool copied = CopyFileEx(source, target);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(copied);
    EXPECT_EQ(readFile(target), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
    EXPECT_FALSE(std::filesystem::exists(target + ".copying"));
}

namespace {

// Sets (or, given nullptr, removes) an environment variable for its lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { saved_ ? ::setenv(name_, saved_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> saved_;
};

}  // namespace

// Without a session's runtime folder, locks and sockets go into a folder of this user's alone; one that
// another account made or may write to could fake a running instance, so it is refused with a reason.
TEST(Utility, RuntimeFolderWithoutTheSessionsIsTheUsersOwn) {
    TempDir temp;
    const ScopedEnv noSession("XDG_RUNTIME_DIR", nullptr);
    const ScopedEnv tmp("TMPDIR", temp.path().c_str());
    const std::string expected = temp.file("velmora-" + std::to_string(::getuid()));

    QString problem;
    EXPECT_EQ(RuntimeFolder(&problem).toStdString(), expected + "/");
    EXPECT_TRUE(problem.isEmpty());
    struct stat st {};
    ASSERT_EQ(::stat(expected.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(st.st_uid, ::getuid());
    EXPECT_EQ(RuntimeFolder().toStdString(), expected + "/");  // and again, as it is

    ::chmod(expected.c_str(), 0777);
    EXPECT_TRUE(RuntimeFolder(&problem).isEmpty());
    EXPECT_NE(problem.toStdString().find("other accounts"), std::string::npos) << problem.toStdString();

    std::filesystem::remove(expected);
    std::filesystem::create_directory(temp.file("elsewhere"));
    ::chmod(temp.file("elsewhere").c_str(), 0700);
    std::filesystem::create_directory_symlink(temp.file("elsewhere"), expected);
    problem.clear();
    EXPECT_TRUE(RuntimeFolder(&problem).isEmpty()) << "a link may lead anywhere";
    EXPECT_FALSE(problem.isEmpty());

    if (::getuid() == 0) {  // only root can give a folder away
        std::filesystem::remove(expected);
        ASSERT_EQ(::mkdir(expected.c_str(), 0700), 0);
        ASSERT_EQ(::chown(expected.c_str(), 65534, 65534), 0);
        problem.clear();
        EXPECT_TRUE(RuntimeFolder(&problem).isEmpty());
        EXPECT_NE(problem.toStdString().find("another account"), std::string::npos) << problem.toStdString();
    }
}

TEST(Utility, TheSessionsRuntimeFolderIsUsedOnlyWhileItIsTheUsersOwn) {
    TempDir temp;
    const std::string session = temp.file("session");
    ASSERT_EQ(::mkdir(session.c_str(), 0700), 0);
    const ScopedEnv given("XDG_RUNTIME_DIR", session.c_str());
    QString problem;
    EXPECT_EQ(RuntimeFolder(&problem).toStdString(), session + "/");
    EXPECT_TRUE(problem.isEmpty());
    // Never "/" nor a folder others share: empty, and said as for the folder of our own.
    std::vector<std::function<void()>> spoil = {[&] { ::chmod(session.c_str(), 0777); }};
    if (::getuid() == 0) spoil.push_back([&] { ::chown(session.c_str(), 65534, 65534); });
    for (const auto& change : spoil) {
        ::chmod(session.c_str(), 0700);
        change();
        problem.clear();
        EXPECT_TRUE(RuntimeFolder(&problem).isEmpty());
        EXPECT_NE(problem.toStdString().find(session + " (XDG_RUNTIME_DIR)"), std::string::npos)
            << problem.toStdString();
    }
}

TEST(Utility, AppDataPathFollowsTheEnvironment) {
    TempDir dir;
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string savedValue = saved ? saved : "";
    ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(GetAppDataPath(), dir.path().string() + "/");
    if (saved)
        ::setenv("XDG_DATA_HOME", savedValue.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

TEST(Utility, FormatSecond) {
    EXPECT_EQ(FormatSecond(60), QStringLiteral("1m 00s"));
    EXPECT_EQ(FormatSecond(3599), QStringLiteral("59m 59s"));
    EXPECT_EQ(FormatSecond(3600), QStringLiteral("1h 00m 00s"));
    EXPECT_EQ(FormatSecond(90061), QStringLiteral("25h 01m 01s"));
}

TEST(Utility, VersionTickAndInheritance) {
    EXPECT_EQ(GetProVersion(true), velmora::kVersionText);
    EXPECT_TRUE(GetProVersion(false).starts_with(std::string(velmora::kVersionText) + " ("));
    EXPECT_FALSE(GetWindowsVersion().empty());

    const std::uint32_t start = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::uint32_t elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 50u);
    EXPECT_LT(elapsed, 10'000u);

    QTimer timer;
    QObject plain;
    EXPECT_TRUE(IsInheritsFrom(&timer, QObject::staticMetaObject));
    EXPECT_TRUE(IsInheritsFrom(&timer, QTimer::staticMetaObject));
    EXPECT_FALSE(IsInheritsFrom(&plain, QTimer::staticMetaObject));
    EXPECT_FALSE(IsInheritsFrom(static_cast<const QObject*>(nullptr), QObject::staticMetaObject));
    EXPECT_THROW(RaiseError("bad"), AppError);
}
