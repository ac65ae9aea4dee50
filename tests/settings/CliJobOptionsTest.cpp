// velmora-cli takes its job's options from the user's settings file, never writing it, and puts its
// flags on top.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "cli/CliJobOptions.h"
#include "settings/AppFolders.h"
#include "support/TempDir.h"

namespace {

class CliJobOptionsTest : public ::testing::Test {
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

TEST_F(CliJobOptionsTest, WithoutASettingsFileTheDefaultsServe) {
    const engine::TJobOptions defaults = cli::JobOptionsFor({});
    EXPECT_EQ(defaults.Blocks, 8);
    EXPECT_TRUE(defaults.KeepFileTime);
    EXPECT_EQ(defaults.VideoMask.substr(0, 12), "*.asf;*.avi;");
    EXPECT_EQ(defaults.JournalFolder, settings::JournalFolder().toStdString());
    EXPECT_FALSE(QFile::exists(settingsFile)) << "nothing is written";
}

TEST_F(CliJobOptionsTest, TheUsersSettingsAreReadAndLeftAsTheyWere) {
    const QByteArray content =
        "<?xml version=\"1.0\"?><Config project=\"KZV\"><KeepFileTime>False</KeepFileTime>"
        "<VideoExts>.mkv;.webm;</VideoExts><Blocks>24</Blocks><WholeStreams>True</WholeStreams></Config>";
    QFile file(settingsFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const QDateTime modified = QFileInfo(settingsFile).lastModified();

    const engine::TJobOptions defaults = cli::JobOptionsFor({});
    EXPECT_EQ(defaults.Blocks, 24);
    EXPECT_FALSE(defaults.KeepFileTime);
    EXPECT_TRUE(defaults.WholeStreams);
    EXPECT_EQ(defaults.VideoMask, "*.mkv;*.webm");

    // The flags decide what they name; the rest stays the settings'.
    cli::TCliOptions flags;
    flags.Key = "k";
    flags.FileType = 2;
    flags.Blocks = 40;
    const engine::TJobOptions flagged = cli::JobOptionsFor(flags);
    EXPECT_EQ(flagged.Key, "k");
    EXPECT_EQ(flagged.FileType, 2);
    EXPECT_EQ(flagged.Blocks, 40);
    EXPECT_TRUE(flagged.WholeStreams) << "--whole-streams can only switch it on";
    EXPECT_FALSE(flagged.KeepFileTime);

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), content);
    EXPECT_EQ(QFileInfo(settingsFile).lastModified(), modified);
}

}  // namespace
