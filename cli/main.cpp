// velmora-cli: the command-line companion of the Velmora window, for users who script.
#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli/CliJobOptions.h"
#include "cli/CommandLine.h"
#include "cli/Companion.h"
#include "engine/Recovery.h"
#include "lang/Language.h"
#include "platform/Log.h"
#include "platform/Utility.h"
#include "settings/AppFolders.h"
#include "settings/KZVConfig.h"

namespace {

// A window is open: the paths join its list, as they would from a second start of it, and the user
// goes on there. Returns only when the window program cannot be started, with why; the paths are then
// toggled here.
QString HandToTheWindow(const std::vector<std::string>& paths) {
    const QByteArray program = settings::WindowProgram().toLocal8Bit();
    std::vector<char*> arguments{const_cast<char*>(program.constData()), const_cast<char*>("--")};
    for (const std::string& path : paths) arguments.push_back(const_cast<char*>(path.c_str()));
    arguments.push_back(nullptr);
    std::fflush(nullptr);
    ::execv(program.constData(), arguments.data());
    return QString::fromLocal8Bit(program) + QStringLiteral(": ") +
           QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto parsed = cli::ParseCommandLine(arguments);
    if (!parsed.Options) {
        std::fprintf(stderr, "velmora-cli: %s\nTry 'velmora-cli --help'.\n", parsed.Error.c_str());
        return cli::kExitUsage;
    }
    const cli::TCliOptions& options = *parsed.Options;
    switch (options.Action) {
        case cli::TCliAction::Help:
            std::fputs(cli::HelpText().c_str(), stdout);
            return cli::FinishOutput(cli::kExitOk);
        case cli::TCliAction::Version:
            std::printf("%s\n", platform::GetProVersion(true).c_str());
            return cli::FinishOutput(cli::kExitOk);
        case cli::TCliAction::Status:
        case cli::TCliAction::Run:
            break;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brindlework"));

    // Before the log is opened, which the window program would otherwise inherit.
    QString handOverProblem;
    if (options.FromFileManager && settings::WindowIsOpen()) handOverProblem = HandToTheWindow(options.Paths);
    // The window's log, so that what the companion restores shows beside the window's own lines.
    const std::string dataFolder = platform::ToLocal8Bit(settings::AppDataFolder());
    platform::LogObj = std::make_unique<platform::TLog>(platform::LogFileNameIn(dataFolder), "MX_KZV_Log");
    if (!handOverProblem.isEmpty())
        platform::MsgOut(
            QStringLiteral("The open window could not be given the paths, toggling them here: ") +
            handOverProblem);
    if (options.Notify) {
        // The notification speaks the window's language.
        const auto config = settings::TProjObj::Create<settings::TKZVConfig>();
        config->Load();
        lang::Language =
            std::make_unique<lang::TLanguage>(settings::ProgramFolder() + QStringLiteral("Languages/"));
        lang::Language->LoadLanguageFile(config->LangFileId().toLocal8Bit());
    }
    // Before any video is looked at: undo what an interrupted run left half-done.
    const std::string journalFolder = platform::ToLocal8Bit(settings::JournalFolder());
    const auto recovery = engine::RecoverInterruptedTogglesReport(journalFolder);
    for (const auto& path : recovery.Restored)
        std::fprintf(stderr, "velmora-cli: restored after an interrupted run: %s\n", path.c_str());
    // A job tells them itself, once, when its own recovery finds them again.
    if (options.Action == cli::TCliAction::Status)
        for (const auto& problem : recovery.Problems)
            std::fprintf(stderr, "velmora-cli: recovery: %s\n", problem.c_str());

    const engine::TJobOptions jobOptions = cli::JobOptionsFor(options);
    const int status = options.Action == cli::TCliAction::Status
                           ? cli::RunStatus(options, jobOptions, recovery.Pending)
                           : cli::RunJob(options, jobOptions);
    lang::Language.reset();
    platform::LogObj.reset();
    return cli::FinishOutput(status);
}
