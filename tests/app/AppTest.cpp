// The application object: names and folders, the log file choice and its start lines, and the
// single-instance lock with its hand-over.
#include <gtest/gtest.h>

#include <atomic>

#include <thread>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "AppTestUtil.h"
#include "app/KZVApp.h"
#include "lang/Language.h"
#include "lang/SystemLanguage.h"
#include "platform/Log.h"

using app::TApp;

namespace {

class AppTest : public apptest::FoldersTest {
protected:
    void MakeLog(const char* name, qint64 size) {
        ASSERT_TRUE(QDir().mkpath(DataFolder()));
        QFile file(DataFolder() + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size));
    }
    std::string Expected(const char* name) const { return (DataFolder() + name).toStdString(); }
};

TEST_F(AppTest, KnowsItsNamesAndFoldersAndWritesNothingWhenCreated) {
    const TApp app;
    EXPECT_EQ(app.GetProductName(), QStringLiteral("Velmora"));
    EXPECT_EQ(app.GetCompanyName(), QStringLiteral("Brindlework"));
    EXPECT_EQ(app.GetDisplayName(), QStringLiteral("Brindlework Velmora"));
    EXPECT_EQ(app.GetAppTitle(), QStringLiteral("Velmora"));
    EXPECT_EQ(app.GetAppDataFolder(), DataFolder());
    EXPECT_EQ(app.TempFolder(), DataFolder() + QStringLiteral("Temp/"));
    EXPECT_TRUE(app.ExeFolder().endsWith(QLatin1Char('/')));
    EXPECT_TRUE(QFileInfo(app.ExeFolder()).isDir());
    EXPECT_FALSE(QFileInfo::exists(DataFolder()));
}

TEST_F(AppTest, TheFirstLogIsLogTxt) {
    EXPECT_EQ(TApp().GetLogFileName(), Expected("Log.txt"));
}

TEST_F(AppTest, ALogTxtAboveTheLimitStartsLog1) {
    MakeLog("Log.txt", 11 * 1024 * 1024);
    EXPECT_EQ(TApp().GetLogFileName(), Expected("Log1.txt"));
}

TEST_F(AppTest, LoggingContinuesInTheHighestNumberedLog) {
    MakeLog("Log.txt", 100);
    MakeLog("Log3.txt", 5 * 1024 * 1024);
    MakeLog("Log10.txt", 7);  // numbers, not names, decide
    MakeLog("Log2.txt", 100);
    EXPECT_EQ(TApp().GetLogFileName(), Expected("Log10.txt"));
}

TEST_F(AppTest, ALogOfExactlyTenMebibytesIsReusedOneByteMoreIsNot) {
    MakeLog("Log.txt", 1);
    MakeLog("Log2.txt", platform::kLogReuseLimit);
    EXPECT_EQ(TApp().GetLogFileName(), Expected("Log2.txt"));
    MakeLog("Log2.txt", platform::kLogReuseLimit + 1);
    EXPECT_EQ(TApp().GetLogFileName(), Expected("Log3.txt"));
}

TEST_F(AppTest, NamesWithoutANumberCountAsZero) {
    MakeLog("Logx.txt", 20);
    EXPECT_EQ(TApp().GetLogFileName(), Expected("Logx.txt"))
        << "the first listed file when none has a number";
    MakeLog("Log-4.txt", 20);
    MakeLog("Log.txt", 20);
    EXPECT_EQ(TApp().GetLogFileName(), Expected("Log-4.txt"));
    MakeLog("Logx.txt", 11 * 1024 * 1024);
    MakeLog("Log-4.txt", 11 * 1024 * 1024);
    EXPECT_EQ(TApp().GetLogFileName(), Expected("Log1.txt"));
}

TEST_F(AppTest, ANewLogBeginsWithTheEnvironmentAndEveryRunEndsWithOver) {
    {
        TApp app;
        app.StartLog();
        EXPECT_TRUE(app.LogStarted());
        ASSERT_NE(lang::Language, nullptr);
        EXPECT_EQ(lang::Language->LanguagesFolder(), app.ExeFolder() + QStringLiteral("Languages/"));
        EXPECT_TRUE(QFileInfo(app.TempFolder()).isDir());
    }
    EXPECT_EQ(lang::Language, nullptr);
    EXPECT_EQ(platform::LogObj, nullptr);
    {
        TApp second;
        second.StartLog();
    }

    const QStringList lines = LogLines(DataFolder() + QStringLiteral("Log.txt"));
    ASSERT_EQ(lines.size(), 6 + 4 + 4) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("OS: ")));
    EXPECT_EQ(lines[1],
              QStringLiteral("Language: $") + QString::number(lang::GetSystemDefaultLangID(), 16).toUpper());
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("Screen size: ")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("Screen DPI: ")));
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("Brindlework Velmora 1.")));
    EXPECT_EQ(lines[5], QStringLiteral("==============="));
    const QStringList run = {QStringLiteral("Brindlework Velmora"), QStringLiteral("Start program"),
                             QStringLiteral("not Debug Version"), QStringLiteral("over")};
    EXPECT_EQ(lines.mid(6, 4), run);
    EXPECT_EQ(lines.mid(10, 4), run) << "a later run appends only its own lines";
}

TEST_F(AppTest, ContinuingALogWritesNoEnvironment) {
    MakeLog("Log.txt", 10);
    MakeLog("Log3.txt", 5 * 1024 * 1024);
    {
        TApp app;
        app.StartLog();
    }
    QFile log(DataFolder() + QStringLiteral("Log3.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    log.seek(5 * 1024 * 1024);
    const QByteArray appended = log.readAll();
    EXPECT_TRUE(appended.contains("  Brindlework Velmora\n")) << appended.constData();
    EXPECT_FALSE(appended.contains("OS: "));
    EXPECT_FALSE(appended.contains("====="));
}

TEST_F(AppTest, OnlyOneInstanceHoldsTheLockUntilItEnds) {
    auto first = std::make_unique<TApp>();
    EXPECT_TRUE(first->IsFirstInstance());
    EXPECT_TRUE(first->HoldsInstanceLock());
    TApp second;
    EXPECT_FALSE(second.IsFirstInstance());
    EXPECT_FALSE(second.HoldsInstanceLock());
    first.reset();
    TApp third;
    EXPECT_TRUE(third.IsFirstInstance());
}

TEST_F(AppTest, ALockLeftByADeadProcessIsTakenOver) {
    // What a crashed instance leaves behind: its pid, its name and this host.
    QFile lock(QString::fromStdString(home.file("MX_KZV_EXE")));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("2147483000\nvelmora\n" + QSysInfo::machineHostName().toLocal8Bit() + "\n");
    lock.close();
    TApp app;
    EXPECT_TRUE(app.IsFirstInstance());
}

// The lock is the system's advisory lock, which ends with its holder: what the file holds (nothing, a
// garbled line, another host's name) never makes a start think another instance runs.
TEST_F(AppTest, ALockFileNoLiveInstanceHoldsIsTakenOverWhateverItHolds) {
    for (const QByteArray& content : {QByteArray(), QByteArray("\xff\xfe garbled \x01"),
                                      QByteArray("4242\nvelmora\nanother-host.example\n")}) {
        QFile lock(QString::fromStdString(home.file("MX_KZV_EXE")));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(content);
        lock.close();
        TApp app;
        EXPECT_TRUE(app.IsFirstInstance()) << content.toStdString();
        EXPECT_TRUE(app.HoldsInstanceLock());
    }
}

TEST_F(AppTest, WithoutASafeRuntimeFolderTheProgramRunsAsAFirstInstanceAndSaysWhy) {
    testsupport::TempDir temp;
    const apptest::ScopedEnv noSession("XDG_RUNTIME_DIR", QByteArray());
    const apptest::ScopedEnv tmp("TMPDIR", QByteArray::fromStdString(temp.path().string()));
    const std::string folder = temp.file("velmora-" + std::to_string(::getuid()));
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ::chmod(folder.c_str(), 0777);  // as another account could have left it
    TApp app;
    EXPECT_TRUE(app.IsFirstInstance());
    EXPECT_FALSE(app.HoldsInstanceLock());
    EXPECT_NE(app.RuntimeProblem().toStdString().find(folder), std::string::npos)
        << app.RuntimeProblem().toStdString();
    // Nor does it listen for later starts where another account could reach the socket.
    EXPECT_TRUE(TApp::InstanceServerName().isEmpty());
    app.ListenForInstances();
    EXPECT_EQ(QDir(QString::fromStdString(folder)).entryList(QDir::System | QDir::Files).size(), 0);
}

TEST_F(AppTest, TheHandOverPostsMessage1125WithZeros) {
    QLocalServer server;
    ASSERT_TRUE(server.listen(TApp::InstanceServerName()));
    EXPECT_TRUE(TApp().NotifyRunningInstance());
    EXPECT_EQ(apptest::ReadHandOver(server), (std::array<qint32, 3>{1125, 0, 0}));
}

// A start with paths: the first parameter counts them, the paths and the launch's activation token
// follow. Whatever else arrives on the socket is no hand-over.
TEST_F(AppTest, AHandOverWithPathsCarriesThemAndTheActivationToken) {
    const QStringList paths{QStringLiteral("/v/a clip.mp4"), QStringLiteral("/v/\u6771\u4eac"),
                            QStringLiteral("/v/new\nline.mkv")};
    // A running instance of its own, on another thread: reads the whole message and answers with
    // the number of paths it took, as the real one does.
    QByteArray message;
    std::thread instance([&message] {
        QLocalServer server;
        if (!server.listen(TApp::InstanceServerName()) || !server.waitForNewConnection(5000)) return;
        QLocalSocket* socket = server.nextPendingConnection();
        while (socket->bytesAvailable() < 12 && socket->waitForReadyRead(2000)) {
        }
        qint32 header[3] = {};
        QDataStream(socket->peek(12)) >> header[0] >> header[1] >> header[2];
        while (socket->bytesAvailable() < 12 + header[2] && socket->waitForReadyRead(2000)) {
        }
        message = socket->readAll();
        QByteArray answer;
        QDataStream(&answer, QIODevice::WriteOnly) << header[1];
        socket->write(answer);
        socket->waitForBytesWritten(2000);
        socket->waitForDisconnected(2000);
    });
    QTest::qWait(200);  // listening
    EXPECT_TRUE(TApp().NotifyRunningInstance(paths, QStringLiteral("launch_TIME1234")));
    instance.join();
    const std::optional<app::THandOver> handOver = app::ParseHandOver(message);
    ASSERT_TRUE(handOver.has_value());
    EXPECT_EQ(handOver->Paths, paths);
    EXPECT_EQ(handOver->ActivationToken, QStringLiteral("launch_TIME1234"));
    {
        QDataStream in(message);
        qint32 id = 0;
        qint32 count = 0;
        in >> id >> count;
        EXPECT_EQ(id, 1125);
        EXPECT_EQ(count, 3);
    }

    EXPECT_TRUE(app::ParseHandOver(QByteArray(12, '\0')) == std::nullopt) << "another message number";
    EXPECT_FALSE(app::ParseHandOver(message.left(message.size() - 3))) << "cut short";
    EXPECT_FALSE(app::ParseHandOver(QByteArray("not a message at all")));
    QByteArray lying = message;
    for (const char count : {5, 1}) {
        lying[7] = count;
        EXPECT_FALSE(app::ParseHandOver(lying)) << "a count of " << int(count) << " for 3 paths";
    }
    lying[7] = char(0xff);  // a count no memory could hold
    EXPECT_FALSE(app::ParseHandOver(lying));
    QByteArray plain = message.left(12);
    plain[7] = 0;
    for (int i = 8; i < 12; ++i) plain[i] = 0;  // no texts follow
    EXPECT_TRUE(app::ParseHandOver(plain).has_value()) << "the plain message of a start without paths";
}

TEST_F(AppTest, AHundredThousandPathsArriveWholeAndTheLaterStartKnows) {
    TApp first;
    ASSERT_TRUE(first.IsFirstInstance());
    QStringList received;
    first.ListenForInstances(
        [&received](const QStringList& paths, const QString&, const QStringList&) { received += paths; });
    QStringList paths;
    for (int i = 0; i < 100'000; ++i) paths << QStringLiteral("/videos/season %1/episode.mp4").arg(i);
    std::atomic<int> taken = -1;
    std::thread later([&] { taken = TApp().NotifyRunningInstance(paths, QStringLiteral("token")) ? 1 : 0; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return taken >= 0; }, 60'000));
    later.join();
    EXPECT_EQ(taken, 1) << "the later start was not told that every path was taken";
    EXPECT_EQ(received, paths);
}

TEST_F(AppTest, WhatAllHandOversHoldAtOnceIsBounded) {
    // Each below the limit of one, together above the limit of all: the one that goes over is refused.
    TApp first;
    ASSERT_TRUE(first.IsFirstInstance());
    first.ListenForInstances();
    constexpr qint32 kDeclared = 60 << 20;
    const QByteArray part(50 << 20, 'x');
    std::vector<std::unique_ptr<QLocalSocket>> clients;
    for (int i = 0; i < 3; ++i) {
        auto client = std::make_unique<QLocalSocket>();
        client->connectToServer(TApp::InstanceServerName());
        ASSERT_TRUE(client->waitForConnected(5000));
        QByteArray header;
        QDataStream(&header, QIODevice::WriteOnly) << qint32(1125) << qint32(1) << kDeclared;
        client->write(header + part);  // never whole: held until the limit says otherwise
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return client->bytesToWrite() == 0 || client->state() != QLocalSocket::ConnectedState; },
            20000));
        clients.push_back(std::move(client));
    }
    QTest::qWait(200);
    EXPECT_EQ(clients[0]->state(), QLocalSocket::ConnectedState);
    EXPECT_EQ(clients[1]->state(), QLocalSocket::ConnectedState);
    EXPECT_NE(clients[2]->state(), QLocalSocket::ConnectedState) << "a third 50 MiB was held as well";
}

TEST_F(AppTest, AHandOverWithNobodyListeningEndsAfterAShortWait) {
    // The wait is for an instance that is still starting; with none the hand-over ends unanswered.
    EXPECT_FALSE(TApp().NotifyRunningInstance());
}

TEST_F(AppTest, TheRunningInstanceTakesHandOversAndIgnoresThem) {
    // A socket file left by a process that died does not keep the new instance from listening.
    QFile stale(TApp::InstanceServerName());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    TApp first;
    ASSERT_TRUE(first.IsFirstInstance());
    first.ListenForInstances();
    for (int i = 0; i < 2; ++i) {
        QLocalSocket client;
        client.connectToServer(TApp::InstanceServerName());
        ASSERT_TRUE(client.waitForConnected(5000)) << client.errorString().toStdString();
        client.write(QByteArray(12, '\0'));
        client.waitForBytesWritten(1000);
        QTest::qWait(50);  // let the instance take it
        client.disconnectFromServer();
    }
    QTest::qWait(50);
    EXPECT_TRUE(first.HoldsInstanceLock());
}

TEST(SystemLanguage, MapsLocalesToWindowsIdentifiers) {
    EXPECT_EQ(lang::LangIdOf(QLocale::c()), 0x0409) << "no LANG: English (United States)";
    EXPECT_EQ(lang::LangIdOf(QLocale(QLocale::Chinese, QLocale::China)), 0x0804);
    EXPECT_EQ(lang::LangIdOf(QLocale(QLocale::Chinese, QLocale::Taiwan)), 0x0404);
    EXPECT_EQ(lang::LangIdOf(QLocale(QLocale::Korean, QLocale::SouthKorea)), 0x0412);
    EXPECT_EQ(lang::LangIdOf(QLocale(QLocale::Zulu, QLocale::SouthAfrica)), 0);
}

}  // namespace
