#include "settings/AppFolders.h"

#include <QCoreApplication>

#include "platform/Utility.h"

namespace settings {

QString AppDataFolder() {
    const QString base = platform::FromLocal8Bit(platform::GetAppDataPath());
    return base + QLatin1String(kCompanyName) + QLatin1Char('/') + QLatin1String(kProductName) +
           QLatin1Char('/');
}

QString JournalFolder() {
    return AppDataFolder() + QStringLiteral("Journal/");
}

QString ProgramFolder() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

}  // namespace settings
