// The program's start-up and shut-down order, run in this process around a window that closes itself,
// and a real second start of the program while a first one holds the instance lock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <csignal>

#include <pugixml.hpp>

#include "AppTestUtil.h"
#include "app/KZVApp.h"
#include "app/PlaceholderWindow.h"
#include "app/Program.h"
#include "engine/journal/Recover.h"
#include "lang/Language.h"
#include "platform/FileIo.h"
#include "platform/Log.h"
#include "settings/KZVConfig.h"
#include "support/TempDir.h"

namespace {

class ProgramTest : public apptest::FoldersTest {
protected:
    QString SettingsFile() const { return DataFolder() + QStringLiteral("ConfigSet.kzvset"); }

    static void CloseSoon() {
        QTimer::singleShot(0, qApp, [] { QApplication::closeAllWindows(); });
    }
};

TEST_F(ProgramTest, AFirstStartRunsInOrderAndLeavesTheSettingsFile) {
    bool loadedBeforeWindow = false;
    QByteArray languageAtWindow;
    CloseSoon();
    const int exitCode = app::RunProgram([&](const app::TStartup&) {
        loadedBeforeWindow =
            settings::Settings != nullptr && app::App != nullptr && app::App->HoldsInstanceLock();
        languageAtWindow = lang::Language ? lang::Language->LanguageName() : QByteArray();
        return apptest::CreatePlaceholderWindow();
    });

    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(loadedBeforeWindow);
    EXPECT_EQ(languageAtWindow, QByteArray("English")) << "LoadLanguage ran before the window";
    EXPECT_EQ(app::App, nullptr);
    EXPECT_EQ(settings::Settings, nullptr);
    EXPECT_EQ(lang::Language, nullptr);
    EXPECT_EQ(platform::LogObj, nullptr);

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(SettingsFile().toLocal8Bit().constData()))
        << "the main window saved the settings";
    int elements = 0;
    for (pugi::xml_node child : doc.document_element().children()) {
        (void)child;
        ++elements;
    }
    EXPECT_EQ(elements, 9) << "every setting, WholeStreams the newest";
    const QStringList log = LogLines(DataFolder() + QStringLiteral("Log.txt"));
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.last(), QStringLiteral("over"));
}

TEST_F(ProgramTest, SettingsAreLoadedBeforeTheWindowAndSavedAfterIt) {
    ASSERT_TRUE(QDir().mkpath(DataFolder()));
    QFile file(SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<Config><Blocks>42</Blocks><LangFileId>Klingon</LangFileId><Stale>x</Stale></Config>");
    file.close();

    int blocksAtWindow = 0;
    CloseSoon();
    app::RunProgram([&](const app::TStartup&) {
        blocksAtWindow = settings::Settings->Blocks();
        settings::Settings->SetShowSIBP(false);  // a change made while the program runs
        return apptest::CreatePlaceholderWindow();
    });
    EXPECT_EQ(blocksAtWindow, 42);

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(SettingsFile().toLocal8Bit().constData()));
    const pugi::xml_node root = doc.document_element();
    EXPECT_STREQ(root.child("Blocks").text().get(), "42");
    EXPECT_STREQ(root.child("ShowSIBP").text().get(), "False");
    EXPECT_STREQ(root.child("LangFileId").text().get(), "Klingon")
        << "a missing language file keeps its name";
    EXPECT_TRUE(root.child("Stale").empty());
}

TEST_F(ProgramTest, AStartUndoesAnInterruptedToggleBeforeTheWindowAndLogsIt) {
    const QString video = DataFolder() + QStringLiteral("clip.mp4");
    const std::string videoPath = video.toStdString();
    ASSERT_TRUE(QDir().mkpath(DataFolder()));
    const std::vector<std::uint8_t> plain(2 * 524'288, 0x42);
    testsupport::writeFile(videoPath, plain);
    {
        // A run that died mid-toggle: its entry recorded, the video's head already changed.
        auto journal = engine::TJournal::Create((DataFolder() + QStringLiteral("Journal")).toStdString());
        auto file = platform::localFileSystem().open(videoPath, platform::FileAccess::ReadWrite);
        std::vector<std::uint8_t> buffer(524'288);
        journal->Record(*file, {engine::TJournal::Operation::Encrypt, 2, "", {}, false}, buffer);
        journal->Commit();
        file->writeAt(0, std::vector<std::uint8_t>(512, 0x42 ^ 0xFF));  // its first sector inverted
        journal->Unsettled(*file);  // the process died: nobody settles its entry
    }
    QStringList restoredAtWindow;
    std::vector<std::uint8_t> videoAtWindow;
    CloseSoon();
    app::RunProgram([&](const app::TStartup& startup) {
        restoredAtWindow = startup.Recovered;
        videoAtWindow = testsupport::readFile(videoPath);
        return apptest::CreatePlaceholderWindow();
    });
    EXPECT_EQ(restoredAtWindow, QStringList{video});
    EXPECT_TRUE(videoAtWindow == plain);
    EXPECT_TRUE(LogLines(DataFolder() + QStringLiteral("Log.txt"))
                    .contains(QStringLiteral("Restored after an interrupted run: ") + video));
}

// A logout or a shutdown sends SIGTERM: the program ends as a close would, settings saved and the
// log closed, without waiting on the user.
TEST_F(ProgramTest, SigtermEndsTheProgramLikeACloseWithoutAsking) {
    QProcess program;
    program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    program.start(QStringLiteral(VELMORA_EXECUTABLE), {});
    ASSERT_TRUE(program.waitForStarted(30000));
    // Listening for later starts comes right before the window.
    QDeadlineTimer deadline(30000);
    bool listening = false;
    while (!listening && !deadline.hasExpired()) {
        QLocalSocket probe;
        probe.connectToServer(app::TApp::InstanceServerName());
        listening = probe.waitForConnected(100);
        if (!listening) QThread::msleep(50);
    }
    ASSERT_TRUE(listening) << program.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000)) << "the program must end by itself";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(SettingsFile())) << "the settings were saved";
    const QStringList log = LogLines(DataFolder() + QStringLiteral("Log.txt"));
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.last(), QStringLiteral("over"));
    EXPECT_TRUE(log.contains(QStringLiteral("Ending on signal 15")));
}

// What a file manager's "Open with" (Exec=velmora %F), a terminal or a launcher passing URIs gives.
TEST(PathsFromArguments, MakesEveryPathAbsoluteAndKeepsOptionsOut) {
    QStringList unknown;
    const QStringList paths = app::PathsFromArguments(
        {QStringLiteral("clip.mp4"), QStringLiteral("../up/./x.mkv"), QStringLiteral("/abs/a b.avi"),
         QStringLiteral("file:///v/%C3%9Cber%20blick.mov"), QString(), QStringLiteral("--help"),
         QStringLiteral("--"), QStringLiteral("-dash.mp4"), QStringLiteral("--")},
        QStringLiteral("/home/u/Videos"), &unknown);
    EXPECT_EQ(paths,
              (QStringList{QStringLiteral("/home/u/Videos/clip.mp4"), QStringLiteral("/home/u/up/x.mkv"),
                           QStringLiteral("/abs/a b.avi"), QStringLiteral("/v/\u00dcber blick.mov"),
                           QStringLiteral("/home/u/Videos/-dash.mp4"), QStringLiteral("/home/u/Videos/--")}));
    EXPECT_EQ(unknown, QStringList{QStringLiteral("--help")});
}

TEST_F(ProgramTest, ASecondStartInThisProcessCreatesNoWindowAndSavesNothing) {
    app::TApp first;
    ASSERT_TRUE(first.IsFirstInstance());
    bool windowCreated = false;
    const int exitCode = app::RunProgram([&](const app::TStartup&) {
        windowCreated = true;
        return apptest::CreatePlaceholderWindow();
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(windowCreated);
    EXPECT_FALSE(QFile::exists(SettingsFile()));
}

TEST_F(ProgramTest, ASecondProgramHandsOverEndsWithZeroAndLogsItsOwnRun) {
    app::TApp first;
    ASSERT_TRUE(first.IsFirstInstance());
    QLocalServer window;  // stands in for the first instance's application window, to see what arrives
    ASSERT_TRUE(window.listen(app::TApp::InstanceServerName()));

    QProcess second;
    second.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    second.start(QStringLiteral(VELMORA_EXECUTABLE), {});
    ASSERT_TRUE(second.waitForFinished(30000)) << "the second start must end by itself";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

    EXPECT_EQ(apptest::ReadHandOver(window), (std::array<qint32, 3>{1125, 0, 0}));

    const QStringList log = LogLines(DataFolder() + QStringLiteral("Log.txt"));
    ASSERT_GE(log.size(), 4);
    EXPECT_EQ(log.mid(log.size() - 4),
              (QStringList{QStringLiteral("Brindlework Velmora"), QStringLiteral("Start program"),
                           QStringLiteral("not Debug Version"), QStringLiteral("over")}));
    EXPECT_FALSE(QFile::exists(SettingsFile())) << "a second instance neither loads nor saves the settings";
}

}  // namespace
