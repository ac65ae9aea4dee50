#include "settings/AppFolders.h"

#include <QCoreApplication>

#include <unistd.h>

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

QString WindowProgram() {
    return ProgramFolder() + QStringLiteral("velmora");
}

QString InstanceLockPath(QString* problem) {
    const QString folder = platform::RuntimeFolder(problem);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("MX_KZV_EXE");
}

bool WindowIsOpen() {
    const QString path = InstanceLockPath();
    if (path.isEmpty()) return false;
    bool heldByAnother = false;
    // Taken for a moment only: a window starting meanwhile finds it free again when it retries.
    if (const int fd = platform::TryLockFile(path, &heldByAnother); fd >= 0) ::close(fd);
    return heldByAnother;
}

}  // namespace settings
