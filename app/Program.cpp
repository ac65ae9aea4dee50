#include "app/Program.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QUrl>

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

QStringList PathsFromArguments(const QStringList& arguments, const QString& workingFolder,
                               QStringList* unknownOptions) {
    QStringList paths;
    bool optionsEnded = false;
    const QDir here(workingFolder);
    for (const QString& argument : arguments) {
        if (argument.isEmpty()) continue;
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-'))) {
            if (unknownOptions) *unknownOptions << argument;
        } else if (const QUrl url(argument);
                   argument.startsWith(QLatin1String("file:")) && url.isLocalFile()) {
            paths << QDir::cleanPath(url.toLocalFile());
        } else {
            paths << QDir::cleanPath(here.absoluteFilePath(argument));
        }
    }
    return paths;
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

// What the desktop gave this start to let its window take the focus; a second start hands it over.
// Qt's X11 plugin takes DESKTOP_STARTUP_ID out of the environment as it starts, so the environment
// the process began with is asked as well.
QString ActivationToken() {
    QFile initial(QStringLiteral("/proc/self/environ"));
    const QList<QByteArray> atStart =
        initial.open(QIODevice::ReadOnly) ? initial.readAll().split('\0') : QList<QByteArray>();
    for (const QByteArray& name :
         {QByteArrayLiteral("XDG_ACTIVATION_TOKEN"), QByteArrayLiteral("DESKTOP_STARTUP_ID")}) {
        if (const QString token = qEnvironmentVariable(name.constData()); !token.isEmpty()) return token;
        for (const QByteArray& entry : atStart)
            if (entry.startsWith(name + '=') && entry.size() > name.size() + 1)
                return QString::fromUtf8(entry.mid(name.size() + 1));
    }
    return {};
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

    QStringList unknownOptions;
    QStringList paths =
        PathsFromArguments(QCoreApplication::arguments().mid(1), QDir::currentPath(), &unknownOptions);
    // A file name never holds a zero byte (one can come from a URL's %00): such a path names no file;
    // it is dropped alone, and said here and in the window.
    QStringList unusable;
    paths.removeIf([&unusable](const QString& path) {
        if (!path.contains(QChar(0))) return false;
        unusable << QString(path).replace(QChar(0), QStringLiteral("%00"));
        std::fprintf(stderr, "velmora: not added, a file name cannot hold a zero byte: %s\n",
                     qPrintable(unusable.back()));
        return true;
    });
    for (const QString& option : unknownOptions)
        std::fprintf(
            stderr,
            "velmora: ignoring %s: the window takes files and folders only (velmora-cli has options)\n",
            qPrintable(option));

    int exitCode = 0;
    bool first = App->IsFirstInstance();
    if (!App->RuntimeProblem().isEmpty()) {
        const QString text =
            App->RuntimeProblem() +
            QStringLiteral(
                " Running without the single-instance check until that folder is the user's alone "
                "(mode 700).");
        platform::MsgOut(text);
        std::fprintf(stderr, "velmora: %s\n", qPrintable(text));
    }
    if (!first && !App->NotifyRunningInstance(paths, ActivationToken(), unusable)) {
        platform::MsgOut(QStringLiteral("The running instance did not take the hand-over"));
        // It may have ended meanwhile: then this start takes its place rather than lose the paths.
        first = App->IsFirstInstance();
        if (!first && !paths.isEmpty()) {
            const QString text =
                App->GetProductName() +
                QStringLiteral(" is running but did not take them; these were not added:\n") +
                paths.join(QLatin1Char('\n'));
            std::fprintf(stderr, "velmora: %s\n", qPrintable(text));
            ShowErrorBox(text);
            exitCode = 1;
        }
    }
    if (!first && !unusable.isEmpty()) exitCode = 1;
    if (first) {
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
        startup.Paths = paths;
        startup.Unusable = unusable;

        TMainWindow mainWindow = createMainWindow(startup);
        // Later starts are heard once there is a window to take what they bring.
        App->ListenForInstances(mainWindow.OpenPaths);
        mainWindow.Window->show();
        exitCode = QApplication::exec();
        mainWindow.Window.reset();
    }

    settings::Settings.reset();
    App.reset();
    return exitCode;
}

}  // namespace app
