#include "engine/Recovery.h"

#include "engine/journal/Recover.h"
#include "platform/Log.h"
#include "platform/Utility.h"

namespace engine {

std::vector<std::string> RecoverInterruptedToggles(const std::string& journalFolder) {
    return RecoverInterruptedTogglesReport(journalFolder).Restored;
}

TRecoveryReport RecoverInterruptedTogglesReport(const std::string& journalFolder) {
    TRecoveryReport report = RecoverJournals(journalFolder, platform::localFileSystem(), TDoneEntries::Keep);
    for (const auto& path : report.Restored)
        platform::MsgOut(QStringLiteral("Restored after an interrupted run: ") +
                         platform::FromLocal8Bit(path));
    for (const auto& problem : report.Problems)
        platform::MsgOut(QStringLiteral("Recovery: ") + platform::FromLocal8Bit(problem));
    return report;
}

}  // namespace engine
