// velmora-cli: the command-line companion of the Velmora window, for users who script.
#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliDefaults.h"
#include "cli/CommandLine.h"
#include "cli/Companion.h"
#include "platform/Utility.h"

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
            return cli::kExitOk;
        case cli::TCliAction::Version:
            std::printf("%s\n", platform::GetProVersion(true).c_str());
            return cli::kExitOk;
        case cli::TCliAction::Status:
        case cli::TCliAction::Run:
            break;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brindlework"));
    const cli::TCliDefaults defaults = cli::LoadCliDefaults();
    return options.Action == cli::TCliAction::Status ? cli::RunStatus(options, defaults)
                                                     : cli::RunJob(options, defaults);
}
