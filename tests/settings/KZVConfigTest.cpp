// The program's settings: defaults, the file they make, the history, and the extension test and mask.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include "settings/AppFolders.h"
#include "settings/KZVConfig.h"
#include "support/TempDir.h"

using settings::TKZVConfig;
using settings::TProjObj;

namespace {

void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

class KZVConfigTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::unique_ptr<TKZVConfig> config = TProjObj::Create<TKZVConfig>();

    QString Path(const char* name) const { return QString::fromStdString(dir.file(name)); }

    void SetUp() override { config->SetFileName(Path("ConfigSet.kzvset")); }
};

TEST_F(KZVConfigTest, StartsWithTheDefaults) {
    auto fresh = TProjObj::Create<TKZVConfig>();
    EXPECT_TRUE(fresh->KeepFileTime());
    EXPECT_TRUE(fresh->ShowRiskWarn());
    EXPECT_TRUE(fresh->ShowSIBP());
    EXPECT_EQ(fresh->Blocks(), 8);
    EXPECT_EQ(fresh->LangFileId(), QStringLiteral("English"));
    EXPECT_EQ(fresh->HistoryPaths()->Count(), 0);
    EXPECT_EQ(fresh->ProjectName(), QByteArray("KZV"));
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    EXPECT_EQ(fresh->FileName(), dataHome + QStringLiteral("/Brindlework/Velmora/ConfigSet.kzvset"));
    EXPECT_EQ(settings::AppDataFolder(), dataHome + QStringLiteral("/Brindlework/Velmora/"));

    const QByteArray exts = fresh->VideoExts();
    EXPECT_EQ(exts.size(), 319);
    EXPECT_EQ(exts.count(';'), 62);
    EXPECT_EQ(exts.count('.'), 62);
    EXPECT_TRUE(exts.startsWith(".asf;.avi;.wm;.wmp;.wmv;.ram;"));
    EXPECT_TRUE(exts.endsWith(".xlmv;.ogm;.ogv;.ogx;"));
}

TEST_F(KZVConfigTest, AFreshFileHoldsEverySettingInOrder) {
    ASSERT_TRUE(config->Save(true));
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(config->FileName().toLocal8Bit().constData()));
    const pugi::xml_node root = doc.document_element();
    EXPECT_STREQ(root.name(), "Config");
    EXPECT_STREQ(root.attribute("project").value(), "KZV");
    std::vector<std::string> names;
    for (pugi::xml_node child : root.children()) names.emplace_back(child.name());
    EXPECT_EQ(names, (std::vector<std::string>{"KeepFileTime", "VideoExts", "HistoryPaths", "ShowRiskWarn",
                                               "ShowSIBP", "Blocks", "LangFileId", "RemoveThumbnails",
                                               "WholeStreams"}));
    EXPECT_STREQ(root.child("KeepFileTime").text().get(), "True");
    // The default list, as every settings file written so far holds it.
    EXPECT_STREQ(
        root.child("VideoExts").text().get(),
        ".asf;.avi;.wm;.wmp;.wmv;.ram;.rm;.rmvb;.rp;.rpm;.rt;.smil;.scm;.dat;.m1v;.m2v;.m2p;.m2ts;.mp2v;"
        ".mpe;.mpeg;.mpeg1;.mpeg2;.mpg;.mpv2;.pss;.pva;.tp;.tpr;.ts;.m4b;.m4r;.m4p;.m4v;.mp4;.mpeg4;.3g2;"
        ".3gp;.3gp2;.3gpp;.mov;.qt;.flv;.f4v;.swf;.hlv;.ifo;.vob;.amv;.csf;.divx;.evo;.mkv;.mod;.pmp;.vp6;"
        ".bik;.mts;.xlmv;.ogm;.ogv;.ogx;");
    EXPECT_STREQ(root.child("Blocks").text().get(), "8");
    EXPECT_STREQ(root.child("LangFileId").text().get(), "English");
    EXPECT_STREQ(root.child("RemoveThumbnails").text().get(), "True");
    EXPECT_STREQ(root.child("WholeStreams").text().get(), "False");
}

TEST_F(KZVConfigTest, ChangedSettingsSurviveARestartAndForeignElementsAreDropped) {
    config->SetKeepFileTime(false);
    config->SetShowRiskWarn(false);
    config->SetBlocks(200000);
    config->SetVideoExts(".avi;.xyz;");
    config->SetLangFileId(QStringLiteral("Chinese"));
    config->SetRemoveThumbnails(false);
    config->SetWholeStreams(true);
    config->AddHistoryPath(QStringLiteral("/videos/\u4e2d\u6587"));
    ASSERT_TRUE(config->Save(true));

    auto next = TProjObj::Create<TKZVConfig>();
    next->SetFileName(config->FileName());
    next->Load();
    ASSERT_TRUE(next->FileLoaded());
    EXPECT_FALSE(next->KeepFileTime());
    EXPECT_FALSE(next->ShowRiskWarn());
    EXPECT_TRUE(next->ShowSIBP());
    EXPECT_EQ(next->Blocks(), 200000);
    EXPECT_EQ(next->VideoExts(), QByteArray(".avi;.xyz;"));
    EXPECT_EQ(next->LangFileId(), QStringLiteral("Chinese"));
    EXPECT_FALSE(next->RemoveThumbnails());
    EXPECT_TRUE(next->WholeStreams());
    ASSERT_EQ(next->HistoryPaths()->Count(), 1);
    EXPECT_EQ(next->HistoryPaths()->Strings(0), QStringLiteral("/videos/\u4e2d\u6587"));

    WriteText(config->FileName(), "<Config><FutureOption>1</FutureOption><Blocks>many</Blocks></Config>");
    auto third = TProjObj::Create<TKZVConfig>();
    third->SetFileName(config->FileName());
    third->Load();
    EXPECT_EQ(third->Blocks(), 8) << "the integer rule's 0, kept in range";
    EXPECT_TRUE(third->RemoveThumbnails()) << "a file from before the setting keeps its default";
    EXPECT_FALSE(third->WholeStreams()) << "a file from before the setting keeps its default";
    ASSERT_TRUE(third->Save(true));
    QFile file(config->FileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(QString::fromUtf16(reinterpret_cast<const char16_t*>(file.readAll().constData() + 2))
                     .contains(QStringLiteral("FutureOption")));
}

TEST_F(KZVConfigTest, HistoryKeepsTheTenNewestFirstWithoutDuplicates) {
    for (int i = 0; i < 11; ++i) config->AddHistoryPath(QStringLiteral("/v/%1").arg(i));
    const settings::TStringsObj& history = *config->HistoryPaths();
    ASSERT_EQ(history.Count(), 10);
    EXPECT_EQ(history.Strings(0), QStringLiteral("/v/10"));
    EXPECT_EQ(history.Strings(9), QStringLiteral("/v/1"));

    config->AddHistoryPath(QStringLiteral("/v/5"));
    EXPECT_EQ(history.Count(), 10);
    EXPECT_EQ(history.Strings(0), QStringLiteral("/v/5"));
    EXPECT_EQ(history.Strings(1), QStringLiteral("/v/10"));

    config->AddHistoryPath(QString());
    EXPECT_EQ(history.Count(), 10);
    EXPECT_EQ(history.Strings(0), QStringLiteral("/v/5"));
}

// On Linux /media/videos and /media/Videos are two folders: the history keeps both.
TEST_F(KZVConfigTest, HistoryTellsPathsApartByLetterCaseWhereFileNamesDo) {
    config->AddHistoryPath(QStringLiteral("/media/videos"));
    config->AddHistoryPath(QStringLiteral("/media/Videos"));
    const settings::TStringsObj& history = *config->HistoryPaths();
    ASSERT_EQ(history.Count(), 2);
    EXPECT_EQ(history.Strings(0), QStringLiteral("/media/Videos"));
    EXPECT_EQ(history.Strings(1), QStringLiteral("/media/videos"));
    config->AddHistoryPath(QStringLiteral("/media/videos"));
    ASSERT_EQ(history.Count(), 2);
    EXPECT_EQ(history.Strings(0), QStringLiteral("/media/videos"));
}

// A hand-edited or damaged file cannot make every toggle rewrite whole files, nor hang every window
// and search with an endless extension list; and a value of white space alone is kept as written.
TEST_F(KZVConfigTest, WhatAFileHoldsIsKeptWithinWhatTheProgramCanUse) {
    const auto loaded = [this](const QByteArray& elements) {
        WriteText(config->FileName(), "<Config>" + elements + "</Config>");
        auto next = TProjObj::Create<TKZVConfig>();
        next->SetFileName(config->FileName());
        next->Load();
        return next;
    };
    EXPECT_EQ(loaded("<Blocks>2147483647</Blocks>")->Blocks(), settings::kMaxBlocks);
    EXPECT_EQ(loaded("<Blocks>-5</Blocks>")->Blocks(), settings::kMinBlocks);
    EXPECT_EQ(loaded("<Blocks>5000</Blocks>")->Blocks(), 5000);

    QByteArray endless;
    for (int i = 0; endless.size() <= 4 * settings::kMaxVideoExtsBytes; ++i)
        endless += ".x" + QByteArray::number(i) + ';';
    const QByteArray kept = loaded("<VideoExts>" + endless + "</VideoExts>")->VideoExts();
    EXPECT_LE(kept.size(), settings::kMaxVideoExtsBytes);
    EXPECT_GT(kept.size(), settings::kMaxVideoExtsBytes - 16);
    EXPECT_TRUE(endless.startsWith(kept));
    EXPECT_TRUE(kept.endsWith(';')) << "cut between two extensions";

    config->SetLangFileId(QStringLiteral("   "));
    config->SetVideoExts(" \t ");
    config->AddHistoryPath(QStringLiteral(" "));
    ASSERT_TRUE(config->Save(true));
    auto next = TProjObj::Create<TKZVConfig>();
    next->SetFileName(config->FileName());
    next->Load();
    EXPECT_EQ(next->LangFileId(), QStringLiteral("   "));
    EXPECT_EQ(next->VideoExts(), QByteArray(" \t "));
    ASSERT_EQ(next->HistoryPaths()->Count(), 1);
    EXPECT_EQ(next->HistoryPaths()->Strings(0), QStringLiteral(" "));
}

// Only regular files are read as the program's own: a FIFO would hold the start in open(), a link to
// /dev/zero would read until memory runs out.
TEST_F(KZVConfigTest, ASettingsFileThatIsNoRegularFileLeavesTheDefaults) {
    ASSERT_EQ(::mkfifo(config->FileName().toLocal8Bit().constData(), 0600), 0);
    config->SetBlocks(42);
    config->Load();
    EXPECT_FALSE(config->FileLoaded());
    EXPECT_EQ(config->Blocks(), 42);

    QFile::remove(config->FileName());
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), config->FileName()));
    config->Load();
    EXPECT_FALSE(config->FileLoaded());
    EXPECT_EQ(config->Blocks(), 42);
}

TEST_F(KZVConfigTest, VideoFilesAreKnownByTheExtensionOfTheirName) {
    EXPECT_TRUE(config->IsVideoFile(QStringLiteral("/home/u/Film.MKV")));
    EXPECT_TRUE(config->IsVideoFile(QStringLiteral("clip.mp4")));
    EXPECT_TRUE(config->IsVideoFile(QStringLiteral("C:\\Clips\\a.wm")));
    EXPECT_FALSE(config->IsVideoFile(QStringLiteral("/home/u/videos")));
    EXPECT_FALSE(config->IsVideoFile(QStringLiteral("/home/u/clips.avi/readme")));
    EXPECT_FALSE(config->IsVideoFile(QStringLiteral("/home/u/clips.avi/")));
    EXPECT_FALSE(config->IsVideoFile(QStringLiteral("notes.txt")));
    EXPECT_FALSE(config->IsVideoFile(QStringLiteral("movie.mp")));  // only whole entries count
    EXPECT_FALSE(config->IsVideoFile(QStringLiteral("movie.")));

    config->SetVideoExts(QByteArray());
    EXPECT_FALSE(config->IsVideoFile(QStringLiteral("clip.mp4")));
    EXPECT_EQ(config->GetVideoMask(), QString());
}

TEST_F(KZVConfigTest, TheMaskListsEveryExtensionWithAStar) {
    const QString mask = config->GetVideoMask();
    EXPECT_TRUE(mask.startsWith(QStringLiteral("*.asf;*.avi;*.wm;"))) << mask.toStdString();
    EXPECT_TRUE(mask.endsWith(QStringLiteral(";*.ogv;*.ogx"))) << mask.toStdString();
    EXPECT_EQ(mask.count(QStringLiteral("*.")), 62);
    config->SetVideoExts(".one;");
    EXPECT_EQ(config->GetVideoMask(), QStringLiteral("*.one"));
}

}  // namespace
