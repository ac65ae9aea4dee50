#pragma once
// The program's start-up and shut-down, in their fixed order, around a main window that the caller
// supplies.

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>

namespace lang {
class TLanguage;
}
namespace settings {
class TKZVConfig;
}

namespace app {

// What start-up learnt before the main window opens, for the window to tell the user.
struct TStartup {
    QStringList Recovered;     // videos that recovery put back as they were before an interrupted run
    QStringList NotRecovered;  // what recovery could not apply yet, in words
    QStringList Paths;         // the files and folders named on the command line, made absolute
    QStringList Unusable;      // names on the command line that no file can have, %00 for the zero byte
};

// Takes files and folders that a later start of the program named, with that start's activation
// token (see platform::UseActivationToken).
// `unusable` are names it was given that no file can have (they hold a zero byte): told, never added.
using TOpenPaths = std::function<void(const QStringList& paths, const QString& activationToken,
                                      const QStringList& unusable)>;

// The main window, and what it does with the paths of later starts (nothing, without OpenPaths).
struct TMainWindow {
    // Implicit, so that a factory may return just the window.
    TMainWindow(std::unique_ptr<QWidget> window,
                TOpenPaths openPaths = {})  // NOLINT(google-explicit-constructor)
        : Window(std::move(window)), OpenPaths(std::move(openPaths)) {}
    std::unique_ptr<QWidget> Window;
    TOpenPaths OpenPaths;
};

// Creates the main window, which opens startup.Paths itself. The window saves the settings when it is
// destroyed.
using TMainWindowFactory = std::function<TMainWindow(const TStartup&)>;

// The paths among the program's arguments (without the program's name): each made absolute against
// `workingFolder`, a file:// URI taken as its local path, a first "--" dropped. An argument that
// starts with "-" before any "--" is no path: it goes to `unknownOptions`.
QStringList PathsFromArguments(const QStringList& arguments, const QString& workingFolder,
                               QStringList* unknownOptions = nullptr);

// Runs the program inside the Qt application object that main() has made (the program folder and the
// screen come from it): the application object and its log, the settings with their defaults, the
// single-instance check (a second start hands its paths over and ends with 0), loading the settings and the
// language, the main window and the event loop; then the main window, the settings and the application
// object go, in that order. Returns the exit code.
int RunProgram(const TMainWindowFactory& createMainWindow);

// Takes over the installer's language choice into the settings, then loads the language they name.
void LoadLanguage(settings::TKZVConfig& config, lang::TLanguage& language, const QString& programFolder,
                  const QString& dataFolder);

// Shows an error the way the framework shows one that escaped an event handler.
void ShowErrorBox(const QString& text, const QString& title = QStringLiteral("Error"));

}  // namespace app
