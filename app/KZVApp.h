#pragma once
// The application object: the program's names and folders, the single-instance lock, and the log with
// the language object that live as long as it runs.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLocalServer;

namespace app {

class TApp {
public:
    // Takes the folders; writes nothing to disk.
    TApp();
    // Stops the log if it was started, then gives up the instance lock.
    ~TApp();
    TApp(const TApp&) = delete;
    TApp& operator=(const TApp&) = delete;

    // Takes the lock "MX_KZV_EXE" in the per-user runtime folder: an advisory lock on that file, which
    // the system drops when its holder ends, so only a live instance ever holds it, whatever the file
    // holds. False when another running process of this user holds it. A lock that cannot be made at
    // all (no safe runtime folder among the causes, see RuntimeProblem) counts as the first instance:
    // the program then runs unprotected rather than not at all.
    bool IsFirstInstance();
    // Why the program runs without the instance lock, the log's lock and the hand-over socket; empty
    // while it has them.
    const QString& RuntimeProblem() const noexcept { return runtimeProblem_; }
    // The second start's hand-over: posts message 1125 to the running instance, waiting a few seconds
    // for one that is still starting to listen. Without paths both parameters are 0; with paths the
    // first is their number, the second the bytes that follow: `activationToken` and the paths, each
    // ended by a zero byte (so no path may hold one). With paths it waits for the instance to answer
    // how many it took. True when every path was taken (or, without paths, the message was sent).
    // `unusable` (names no file can have) follow, each marked by a leading byte 1, to be told.
    bool NotifyRunningInstance(const QStringList& paths = {}, const QString& activationToken = {},
                               const QStringList& unusable = {}) const;
    // The first instance's application window: accepts what later starts post and answers each with the
    // number of paths it took. Paths go to `openPaths`; a message without paths is ignored, as is
    // anything malformed (answered with -1). What all connections hold at once is bounded.
    void ListenForInstances(
        std::function<void(const QStringList& paths, const QString& token, const QStringList& unusable)>
            openPaths = {});
    // Where the running instance listens: built from "TApplication", the title and the user, in the
    // runtime folder; empty without a safe runtime folder (the program then does not listen).
    static QString InstanceServerName();

    QString GetAppTitle() const;
    QString GetProductName() const;
    QString GetCompanyName() const;
    QString GetDisplayName() const;
    QString GetAppDataFolder() const;
    QString GetHomePage() const;
    QString GetProductPage() const;

    // Opens the log (rotating by GetLogFileName), writes the start lines, creates the language object
    // and the Temp folder.
    void StartLog();
    // Log.txt, or the highest-numbered "Log<n>.txt" while it holds at most 10 MiB, else Log<n+1>.txt.
    std::string GetLogFileName() const;
    // The environment block at the head of a new log file; nothing for a file that exists.
    void WriteEnvironment();
    // Frees the language object, writes "over" and closes the log.
    void StopLog();

    const QString& ExeFolder() const noexcept { return exeFolder_; }
    const QString& TempFolder() const noexcept { return tempFolder_; }
    bool LogStarted() const noexcept { return logStarted_; }
    bool HoldsInstanceLock() const noexcept { return instanceLock_ >= 0; }

private:
    QString exeFolder_;
    QString tempFolder_;
    int instanceLock_ = -1;  // the open, locked "MX_KZV_EXE"
    QString runtimeProblem_;
    std::unique_ptr<QLocalServer> instanceServer_;
    bool logStarted_ = false;
};

// What a later start of the program hands over to the running instance.
struct THandOver {
    QStringList Paths;
    QString ActivationToken;
    QStringList Unusable;  // names no file can have, to be told
};
// Reads one hand-over message (see NotifyRunningInstance); nullopt for anything else.
std::optional<THandOver> ParseHandOver(const QByteArray& message);

// The program's application object: created first, destroyed last.
extern std::unique_ptr<TApp> App;

inline constexpr std::uint32_t WM_INSTANCE_STARTED = 1125;  // WM_USER + 101

}  // namespace app
