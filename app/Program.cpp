#include "app/Program.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/KZVApp.h"
#include "engine/Recovery.h"
#include "lang/Language.h"
#include "platform/Log.h"
#include "platform/SignalCatcher.h"
#include "platform/Utility.h"
#include "settings/AppFolders.h"
#include "settings/KZVConfig.h"

namespace app {

void LoadLanguage(settings::TKZVConfig& config, lang::TLanguage& language, const QString& programFolder,
                  const QString& dataFolder) {
    config.TakeInstallerLanguage(programFolder, dataFolder);
    language.SetLanguageName(config.LangFileId().toLocal8Bit());
    language.LoadLanguageFile(config.LangFileId().toLocal8Bit());
}

void ShowErrorBox(const QString& text, const QString& title) {
    QMessageBox::critical(nullptr, title, text, QMessageBox::Ok);
}

namespace {

// Qt ends the process with exit() from inside its event loop when the display server goes away (an
// X server ending before the session's signal reaches the program). The globals' destructors would
// then run while the main window still lives and use one another half torn down. The log gets a last
// line, and the rest is left to the system, as at any sudden end; an interrupted job is undone by the
// next start's recovery.
void LeaveTheGlobalsToTheSystem() {
    if (!App) return;  // ended normally: RunProgram tore everything down in order
    platform::MsgOut(QStringLiteral("The display went away; ending at once"));
    (void)App.release();
    (void)settings::Settings.release();
    (void)lang::Language.release();
    (void)platform::LogObj.release();
}

}  // namespace

int RunProgram(const TMainWindowFactory& createMainWindow) {
    static const bool atExitSet = std::atexit(LeaveTheGlobalsToTheSystem) == 0;
    (void)atExitSet;
    App = std::make_unique<TApp>();
    App->StartLog();
    lang::Language->OnLoadError = [](const QString& text, const QString& title) {
        ShowErrorBox(text, title);
    };
    settings::Settings = settings::TProjObj::Create<settings::TKZVConfig>();

    int exitCode = 0;
    const bool first = App->IsFirstInstance();
    if (!App->RuntimeProblem().isEmpty()) {
        const QString text =
            App->RuntimeProblem() +
            QStringLiteral(" Running without the single-instance check; remove that folder to mend it.");
        platform::MsgOut(text);
        std::fprintf(stderr, "velmora: %s\n", qPrintable(text));
    }
    if (!first) {
        if (!App->NotifyRunningInstance())
            platform::MsgOut(QStringLiteral("The running instance did not take the hand-over"));
    } else {
        // A logout or a shutdown ends the program as a close would, but without asking anything: the
        // event loops end, the main window goes (stopping a job after the file in hand and saving the
        // settings), and the log gets its last line. A signal before the loop runs ends it at once.
        platform::TSignalCatcher catcher({SIGTERM, SIGHUP, SIGINT});
        QSocketNotifier notifier(catcher.ReadFd(), QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, [&catcher] {
            platform::MsgOut(QStringLiteral("Ending on signal %1").arg(catcher.Take()));
            QCoreApplication::exit(0);
        });
        // Before anything else touches a file: undo what an interrupted run left half-done.
        engine::TRecoveryReport recovery =
            engine::RecoverInterruptedTogglesReport(platform::ToLocal8Bit(settings::JournalFolder()));
        TStartup startup;
        for (const std::string& path : recovery.Restored) startup.Recovered << platform::FromLocal8Bit(path);
        for (const std::string& problem : recovery.Problems)
            startup.NotRecovered << platform::FromLocal8Bit(problem);
        settings::Settings->Load();
        LoadLanguage(*settings::Settings, *lang::Language, settings::ProgramFolder(),
                     settings::AppDataFolder());
        QCoreApplication::setApplicationName(App->GetAppTitle());
        QCoreApplication::setOrganizationName(App->GetCompanyName());
        App->ListenForInstances();

        std::unique_ptr<QWidget> mainWindow = createMainWindow(startup);
        mainWindow->show();
        exitCode = QApplication::exec();
        mainWindow.reset();
    }

    settings::Settings.reset();
    App.reset();
    return exitCode;
}

}  // namespace app
