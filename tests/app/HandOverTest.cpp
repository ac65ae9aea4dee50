// "Open with" from a file manager while the program runs: a later start of the real program hands the
// files and folders it was given to the running instance's real main window. Two processes: this test
// is the first instance, started the way main() starts it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "AppTestUtil.h"
#include "app/Program.h"
#include "ui/FileListView.h"
#include "ui/GuiUtility.h"
#include "ui/MainForm.h"

namespace {

class HandOverTest : public apptest::FoldersTest {
protected:
    QString MakeVideo(const std::string& name) const {
        const std::string path = home.file(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        testsupport::writeFile(path, testsupport::patternBytes(600'000));
        return QString::fromStdString(path);
    }
    static QStringList ListedPaths(const ui::TMainForm& window) {
        QStringList paths;
        for (int row = 0; row < window.FileList()->Count(); ++row) paths << window.FileList()->Path(row);
        return paths;
    }
};

TEST_F(HandOverTest, ALaterStartsFilesAndFoldersJoinTheRunningWindowsList) {
    const QString relative = MakeVideo("shell/here is a clip.mp4");
    const QString inFolder1 = MakeVideo("shell/season/episode 2.mkv");
    const QString inFolder2 = MakeVideo("shell/season/episode 10.mkv");
    const QString byUri = MakeVideo("elsewhere/Überblick.avi");
    MakeVideo("shell/season/cover.jpg");

    ui::TMainForm* window = nullptr;
    // The window's boxes, answered at once and kept.
    QStringList boxes;
    ui::TShellCalls calls = ui::DefaultShellCalls();
    calls.MsgBox = [&boxes](const QString& text, int, int) {
        boxes << text;
        return ui::kIdOk;
    };
    const ui::TShellCallsScope shell(std::move(calls));
    int secondExit = -1;
    QString secondErrors;
    QStringList listed;
    QTimer::singleShot(0, qApp, [&] {
        QProcess second;
        second.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        second.setWorkingDirectory(QString::fromStdString(home.file("shell")));
        // A URL naming a zero byte is dropped alone, and said; the rest is added.
        second.start(QStringLiteral(VELMORA_EXECUTABLE),
                     {QStringLiteral("here is a clip.mp4"), QStringLiteral("season"),
                      QUrl::fromLocalFile(byUri).toString(QUrl::FullyEncoded),
                      QUrl::fromLocalFile(byUri).toString(QUrl::FullyEncoded) + QStringLiteral("%00b.mp4")});
        // The later start ends once this one has answered how many paths it took: events go on here.
        (void)QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 30000);
        secondExit = second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -2;
        secondErrors = QString::fromLocal8Bit(second.readAllStandardError());
        (void)QTest::qWaitFor([&] { return window && window->FileList()->Count() >= 4; }, 10000);
        if (window) listed = ListedPaths(*window);
        QApplication::closeAllWindows();
    });
    const int exitCode = app::RunProgram([&](const app::TStartup&) -> app::TMainWindow {
        std::unique_ptr<ui::TMainForm> form = ui::CreateMainForm();
        window = form.get();
        return {std::move(form),
                [&window](const QStringList& paths, const QString& token, const QStringList& unusable) {
                    window->OpenPaths(paths, token, unusable);
                }};
    });

    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(secondExit, 1) << "not everything was added: " << secondErrors.toStdString();
    EXPECT_TRUE(secondErrors.contains(QStringLiteral("zero byte"))) << secondErrors.toStdString();
    // Told where the user looks, too: Open With shows no standard error.
    ASSERT_EQ(boxes.size(), 1) << boxes.join('\n').toStdString();
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("zero byte")) &&
                boxes[0].contains(QStringLiteral("%00b.mp4")))
        << boxes[0].toStdString();
    EXPECT_EQ(listed, (QStringList{relative, inFolder1, inFolder2, byUri}));
    const QStringList log = LogLines(DataFolder() + QStringLiteral("Log.txt"));
    EXPECT_TRUE(log.contains(QStringLiteral("Opening 3 path(s) from the command line")))
        << log.join('\n').toStdString();
}

}  // namespace
