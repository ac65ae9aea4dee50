// Settings files: the document a config writes, reading it once, and saving that never leaves a
// broken or truncated file behind.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "TestObjects.h"
#include "support/TempDir.h"

using settings::TProjObj;
using testobjects::TSampleConfig;

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QString FromUtf16Le(const QByteArray& bytes) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

class SettingsFileTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    QString path = QString::fromStdString(dir.file("Sample.set"));

    std::unique_ptr<TSampleConfig> NewConfig() {
        auto config = TProjObj::Create<TSampleConfig>();
        config->SetFileName(path);
        return config;
    }
};

TEST_F(SettingsFileTest, SaveWritesAnIndentedUtf16DocumentWithTheProjectAndVersion) {
    auto config = NewConfig();
    EXPECT_EQ(config->ProjectName(), QByteArray("ProjName"));
    config->Recent()->Add(QStringLiteral("r\u00e9cent"));
    ASSERT_TRUE(config->Save(true));

    const QByteArray bytes = ReadBytes(path);
    ASSERT_GE(bytes.size(), 2);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);
    const QString text = FromUtf16Le(bytes.mid(2));
    EXPECT_TRUE(text.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("<Config project=\"ProjName\" version=\"")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n  <Level>3</Level>"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\n    <Value>r\u00e9cent</Value>"))) << text.toStdString();
}

TEST_F(SettingsFileTest, LoadReadsTheFileOnceWhateverTheRootIsCalled) {
    WriteBytes(path,
               "<?xml version=\"1.0\"?><Other><Level>5</Level><Recent><Value>a</Value></Recent></Other>");
    auto config = NewConfig();
    config->Load();
    EXPECT_TRUE(config->FileLoaded());
    EXPECT_EQ(config->Level(), 5);
    EXPECT_EQ(config->LoadedCalls, 1);

    WriteBytes(path, "<Config><Level>9</Level></Config>");
    config->Load();
    EXPECT_EQ(config->Level(), 5);
    EXPECT_EQ(config->LoadedCalls, 1);
}

TEST_F(SettingsFileTest, AMissingOrBrokenFileLeavesTheDefaultsAndIsTriedAgain) {
    auto config = NewConfig();
    config->Load();
    EXPECT_FALSE(config->FileLoaded());
    EXPECT_EQ(config->Level(), 3);

    WriteBytes(path, "<Config><Level>5</Level><Recent>");
    config->Load();
    EXPECT_FALSE(config->FileLoaded());
    EXPECT_EQ(config->Level(), 3);
    EXPECT_EQ(config->LoadedCalls, 0);

    WriteBytes(path, "<Config><Level>6</Level></Config>");
    config->Load();
    EXPECT_TRUE(config->FileLoaded());
    EXPECT_EQ(config->Level(), 6);
}

TEST_F(SettingsFileTest, ADocumentThatFailsItsReparseIsNotWritten) {
    WriteBytes(path, "previous content");
    pugi::xml_document doc;
    doc.append_child("Config").append_child("not a name");  // serialises as <not a name />

    EXPECT_FALSE(TProjObj::SaveDocument(doc, path, true));
    EXPECT_EQ(ReadBytes(path), QByteArray("previous content"));
    try {
        TProjObj::SaveDocument(doc, path, false);
        FAIL() << "a non-silent save raises";
    } catch (const settings::ESaveDocumentError& e) {
        EXPECT_STREQ(e.what(), "error occurs when save xml file.");
    }
    EXPECT_EQ(ReadBytes(path), QByteArray("previous content"));
}

TEST_F(SettingsFileTest, AFileThatCannotBeCreatedRaisesEvenWhenSilent) {
    auto config = NewConfig();
    config->SetFileName(QString::fromStdString(dir.file("missing-folder/Sample.set")));
    EXPECT_THROW(config->Save(true), settings::EFileCreateError);
}

TEST_F(SettingsFileTest, AFullDiskLeavesTheOldFileWhole) {
    auto config = NewConfig();
    config->SetLevel(1);
    ASSERT_TRUE(config->Save(true));
    const QByteArray before = ReadBytes(path);
    for (int i = 0; i < 50; ++i) config->Recent()->Add(QStringLiteral("/a/long/path/to/a/folder/%1").arg(i));

    // Writes beyond the limit fail with EFBIG, as a full disk fails them.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(before.size());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool raised = false;
    try {
        config->Save(true);
    } catch (const settings::EFileCreateError&) {
        raised = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_TRUE(raised);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(QDir(QString::fromStdString(dir.path().string())).entryList(QDir::Files).size(), 1)
        << "no partial file is left beside it";
}

}  // namespace

TEST_F(SettingsFileTest, WhatIsNotASettingsFileIsNeverReplacedAndALinkStaysALink) {
    // Each is left as it is; the settings stay in memory. Decoys of the test's own, never /dev.
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.file("folder");
    std::filesystem::create_directory(folder);
    const std::string dangling = dir.file("dangling");
    std::filesystem::create_symlink(dir.file("nothing"), dangling);
    const std::string toFifo = dir.file("to-fifo");
    std::filesystem::create_symlink(fifo, toFifo);
    for (const std::string& target : {fifo, folder, dangling, toFifo}) {
        SCOPED_TRACE(target);
        const auto before = std::filesystem::symlink_status(target).type();
        auto config = NewConfig();
        config->SetFileName(QString::fromStdString(target));
        config->SetLevel(7);
        EXPECT_FALSE(config->Save(true));
        EXPECT_THROW(config->Save(false), settings::EFileCreateError);
        EXPECT_EQ(std::filesystem::symlink_status(target).type(), before);
        EXPECT_FALSE(std::filesystem::exists(dir.file("nothing"))) << "written through a dangling link";
        EXPECT_EQ(config->Level(), 7);
    }
    // A link to a settings file elsewhere: written through, and still a link.
    const std::string real = dir.file("real.set");
    WriteBytes(QString::fromStdString(real), "<Config/>");
    const std::string link = dir.file("link.set");
    std::filesystem::create_symlink(real, link);
    auto config = NewConfig();
    config->SetFileName(QString::fromStdString(link));
    config->SetLevel(9);
    ASSERT_TRUE(config->Save(true));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    auto reread = NewConfig();
    reread->SetFileName(QString::fromStdString(real));
    reread->Load();
    EXPECT_EQ(reread->Level(), 9);
}
