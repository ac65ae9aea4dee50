// velmora-cli takes Blocks, KeepFileTime and the video mask from the user's settings file, and never
// writes it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "cli/CliDefaults.h"
#include "settings/AppFolders.h"
#include "support/TempDir.h"

namespace {

class CliDefaultsTest : public ::testing::Test {
protected:
    testsupport::TempDir home;
    QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    QString settingsFile;

    void SetUp() override {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.path().string()));
        ASSERT_TRUE(QDir().mkpath(settings::AppDataFolder()));
        settingsFile = settings::AppDataFolder() + QStringLiteral("ConfigSet.kzvset");
    }
    void TearDown() override { qputenv("XDG_DATA_HOME", savedDataHome); }
};

TEST_F(CliDefaultsTest, WithoutASettingsFileTheDefaultsServe) {
    const cli::TCliDefaults defaults = cli::LoadCliDefaults();
    EXPECT_EQ(defaults.Blocks, 8);
    EXPECT_TRUE(defaults.KeepFileTime);
    EXPECT_EQ(defaults.VideoMask.substr(0, 12), "*.asf;*.avi;");
    EXPECT_FALSE(QFile::exists(settingsFile)) << "nothing is written";
}

TEST_F(CliDefaultsTest, TheUsersSettingsAreReadAndLeftAsTheyWere) {
    const QByteArray content =
        "<?xml version=\"1.0\"?><Config project=\"KZV\"><KeepFileTime>False</KeepFileTime>"
        "<VideoExts>.mkv;.webm;</VideoExts><Blocks>24</Blocks></Config>";
    QFile file(settingsFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const QDateTime modified = QFileInfo(settingsFile).lastModified();

    const cli::TCliDefaults defaults = cli::LoadCliDefaults();
    EXPECT_EQ(defaults.Blocks, 24);
    EXPECT_FALSE(defaults.KeepFileTime);
    EXPECT_EQ(defaults.VideoMask, "*.mkv;*.webm");

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), content);
    EXPECT_EQ(QFileInfo(settingsFile).lastModified(), modified);
}

}  // namespace
