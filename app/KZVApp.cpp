#include "app/KZVApp.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <charconv>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "lang/Language.h"
#include "lang/SystemLanguage.h"
#include "platform/FileSearch.h"
#include "platform/Log.h"
#include "platform/Utility.h"
#include "settings/AppFolders.h"

namespace app {

std::unique_ptr<TApp> App;

namespace {

constexpr const char* kInstanceMutex = "MX_KZV_EXE";
constexpr const char* kLogMutex = "MX_KZV_Log";
constexpr int kHandOverTimeoutMs = 1000;
// How long a second start waits for a running instance that is still starting (recovering) to listen.
constexpr int kHandOverWaitMs = 5000;
// Far more than a command line holds: a longer message is no later start of ours.
constexpr qsizetype kMaxHandOverBytes = 64 * 1024 * 1024;

}  // namespace

TApp::TApp()
    : exeFolder_(settings::ProgramFolder()),
      tempFolder_(settings::AppDataFolder() + QStringLiteral("Temp/")) {}

TApp::~TApp() {
    if (logStarted_) StopLog();
    instanceServer_.reset();
    if (instanceLock_ >= 0) ::close(instanceLock_);  // unlocks
}

QString TApp::GetAppTitle() const {
    return GetProductName();
}
QString TApp::GetProductName() const {
    return QLatin1String(settings::kProductName);
}
QString TApp::GetCompanyName() const {
    return QLatin1String(settings::kCompanyName);
}
QString TApp::GetDisplayName() const {
    return settings::DisplayName();
}
QString TApp::GetAppDataFolder() const {
    return settings::AppDataFolder();
}
QString TApp::GetHomePage() const {
    return settings::HomePage();
}
QString TApp::GetProductPage() const {
    return settings::ProductPage();
}

QString TApp::InstanceServerName() {
    const QString folder = platform::RuntimeFolder();
    if (folder.isEmpty()) return {};  // never a name in a folder others may write to
    return folder + QStringLiteral("TApplication-") + QLatin1String(settings::kProductName) +
           QLatin1Char('-') + platform::UserName();
}

bool TApp::IsFirstInstance() {
    if (instanceLock_ >= 0) return true;
    const QString folder = platform::RuntimeFolder(&runtimeProblem_);
    if (folder.isEmpty()) return true;
    const QByteArray path = (folder + QLatin1String(kInstanceMutex)).toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return true;
    int locked = 0;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const bool heldByAnother = errno == EWOULDBLOCK;
        ::close(fd);
        return !heldByAnother;
    }
    instanceLock_ = fd;
    return true;
}

bool TApp::NotifyRunningInstance(const QStringList& paths, const QString& activationToken) const {
    if (InstanceServerName().isEmpty()) return false;
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << qint32(WM_INSTANCE_STARTED) << qint32(paths.size()) << qint32(0);
    if (!paths.isEmpty()) {
        // Each text ends with a zero byte, which no path and no token holds.
        message += activationToken.toUtf8() + '\0';
        for (const QString& path : paths) message += QFile::encodeName(path) + '\0';
    }
    QDeadlineTimer deadline(kHandOverWaitMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(InstanceServerName());
        if (socket.waitForConnected(kHandOverTimeoutMs)) {
            socket.write(message);
            const bool sent = socket.waitForBytesWritten(kHandOverTimeoutMs);
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return false;
}

std::optional<THandOver> ParseHandOver(const QByteArray& message) {
    constexpr qsizetype kHeaderBytes = 3 * sizeof(qint32);
    if (message.size() < kHeaderBytes) return std::nullopt;
    QDataStream in(message.left(kHeaderBytes));
    qint32 id = 0;
    qint32 count = 0;
    qint32 unused = 0;
    in >> id >> count >> unused;
    if (id != qint32(WM_INSTANCE_STARTED) || count < 0) return std::nullopt;
    const QByteArray texts = message.mid(kHeaderBytes);
    if (count == 0) return texts.isEmpty() ? std::optional<THandOver>(THandOver{}) : std::nullopt;
    if (!texts.endsWith('\0')) return std::nullopt;
    const QList<QByteArray> parts = texts.chopped(1).split('\0');
    if (parts.size() != qsizetype(count) + 1) return std::nullopt;
    THandOver handOver{{}, QString::fromUtf8(parts.front())};
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts[i].isEmpty()) return std::nullopt;
        handOver.Paths << QFile::decodeName(parts[i]);
    }
    return handOver;
}

void TApp::ListenForInstances(std::function<void(const QStringList&, const QString&)> openPaths) {
    if (instanceServer_ || InstanceServerName().isEmpty()) return;
    instanceServer_ = std::make_unique<QLocalServer>();
    instanceServer_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!instanceServer_->listen(InstanceServerName())) {
        // A socket left behind by a process that died: ours now, since we hold the instance lock.
        QLocalServer::removeServer(InstanceServerName());
        instanceServer_->listen(InstanceServerName());
    }
    QLocalServer* server = instanceServer_.get();
    QObject::connect(server, &QLocalServer::newConnection, server, [server, openPaths] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            // The message is whole once the later start has hung up.
            auto message = std::make_shared<QByteArray>();
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, message] {
                *message += socket->readAll();
                if (message->size() > kMaxHandOverBytes) {
                    platform::MsgOut(QStringLiteral("A later start's hand-over was too large; ignored"));
                    socket->abort();
                }
            });
            QObject::connect(socket, &QLocalSocket::disconnected, socket, [socket, message, openPaths] {
                socket->deleteLater();
                *message += socket->readAll();
                if (message->size() > kMaxHandOverBytes) return;
                const std::optional<THandOver> handOver = ParseHandOver(*message);
                if (!handOver) {
                    platform::MsgOut(QStringLiteral("A malformed hand-over from a later start; ignored"));
                } else if (!handOver->Paths.isEmpty() && openPaths) {
                    openPaths(handOver->Paths, handOver->ActivationToken);
                }
            });
        }
    });
}

std::string TApp::GetLogFileName() const {
    return platform::LogFileNameIn(platform::ToLocal8Bit(GetAppDataFolder()));
}

void TApp::WriteEnvironment() {
    platform::TLog& log = *platform::LogObj;
    if (QFileInfo::exists(platform::FromLocal8Bit(log.FileName()))) return;

    QString os = QStringLiteral("OS: ") + platform::FromLocal8Bit(platform::GetWindowsVersion()) +
                 QStringLiteral(" (") + platform::FromLocal8Bit(platform::GetWindowsVerNum()) +
                 QLatin1Char(')');
    if (platform::IsWin64()) os += QStringLiteral(" 64 bit");
    log.LogMsg(os);
    log.LogMsg(
        QStringLiteral("Language: $%1").arg(QString::number(lang::GetSystemDefaultLangID(), 16).toUpper()));
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    const QSize size = screen ? screen->size() : QSize();
    log.LogMsg(QStringLiteral("Screen size: %1 x %2").arg(size.width()).arg(size.height()));
    log.LogMsg(QStringLiteral("Screen DPI: %1").arg(screen ? qRound(screen->logicalDotsPerInch()) : 96));
    log.LogMsg(GetDisplayName() + QLatin1Char(' ') + platform::FromLocal8Bit(platform::GetProVersion(false)));
    log.LogMsg(QStringLiteral("==============="));
}

void TApp::StartLog() {
    platform::LogObj = std::make_unique<platform::TLog>(GetLogFileName(), kLogMutex);
    WriteEnvironment();
    platform::MsgOut(GetDisplayName());
    platform::MsgOut(QStringLiteral("Start program"));
    lang::Language = std::make_unique<lang::TLanguage>(exeFolder_ + QStringLiteral("Languages/"));
    // An existing Temp folder is left as it is; Linux has no hidden attribute to give a new one.
    if (!QFileInfo::exists(tempFolder_)) QDir().mkpath(tempFolder_);
    logStarted_ = true;
    platform::MsgOut(QStringLiteral("not Debug Version"));
}

void TApp::StopLog() {
    lang::Language.reset();
    platform::MsgOut(QStringLiteral("over"));
    platform::LogObj.reset();
    logStarted_ = false;
}

}  // namespace app
