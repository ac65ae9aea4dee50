#include <gtest/gtest.h>

#include <QLocale>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <thread>

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
