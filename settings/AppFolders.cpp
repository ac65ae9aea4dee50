#include "settings/AppFolders.h"

#include <QCoreApplication>

#include "platform/Utility.h"

namespace settings {

QString DisplayName() {
    return QLatin1String(kCompanyName) + QLatin1Char(' ') + QLatin1String(kProductName);
}

QString HomePage() {
    return QStringLiteral("https://www.brindlework.com/");
}

QString ProductPage() {
    return HomePage() + QStringLiteral("velmora/");
}

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
