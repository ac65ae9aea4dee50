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

#include <charconv>
#include <optional>

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

constexpr const char* kLogMutex = "MX_KZV_Log";
constexpr int kHandOverTimeoutMs = 1000;
// How long a second start waits for a running instance that is still starting (recovering) to listen.
constexpr int kHandOverWaitMs = 5000;
// How long a later start waits for the running instance to say how many paths it took.
constexpr int kHandOverAnswerMs = 10000;
// Far more than a command line holds: a longer message is no later start of ours.
constexpr qsizetype kMaxHandOverBytes = 64 * 1024 * 1024;
// What all later starts' connections together may hold at once; beyond it new data is refused.
constexpr qint64 kMaxHandOverBytesInAll = 2 * kMaxHandOverBytes;
constexpr qsizetype kHeaderBytes = 3 * sizeof(qint32);
// Marks a name that no file can have: paths are absolute and never begin with it.
constexpr char kUnusableMark = '\x01';

// Whether `message` holds a whole hand-over. A start with paths says how many bytes follow the
// header; one that does not (an earlier version) is whole only once it hangs up.
bool IsWholeHandOver(const QByteArray& message) {
    if (message.size() < kHeaderBytes) return false;
    QDataStream in(message.left(kHeaderBytes));
    qint32 id = 0;
    qint32 count = 0;
    qint32 length = 0;
    in >> id >> count >> length;
    if (length > 0) return message.size() >= kHeaderBytes + length;
    return count == 0;
}

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
    const QString path = settings::InstanceLockPath(&runtimeProblem_);
    if (path.isEmpty()) return true;
    bool heldByAnother = false;
    instanceLock_ = platform::TryLockFile(path, &heldByAnother);
    return !heldByAnother;
}

bool TApp::NotifyRunningInstance(const QStringList& paths, const QString& activationToken,
                                 const QStringList& unusable) const {
    if (InstanceServerName().isEmpty()) return false;
    QByteArray texts;
    if (!paths.isEmpty() || !unusable.isEmpty()) {
        // Each text ends with a zero byte, which no path and no token holds (the caller takes a path
        // that would out, into `unusable`).
        texts += activationToken.toUtf8() + '\0';
        for (const QString& path : paths) texts += QFile::encodeName(path) + '\0';
        for (const QString& name : unusable) texts += kUnusableMark + name.toUtf8() + '\0';
    }
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << qint32(WM_INSTANCE_STARTED) << qint32(paths.size()) << qint32(texts.size());
    message += texts;
    QDeadlineTimer deadline(kHandOverWaitMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(InstanceServerName());
        if (socket.waitForConnected(kHandOverTimeoutMs)) {
            socket.write(message);
            // A large message leaves in many writes: all of them before anything else.
            while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(kHandOverTimeoutMs)) {
            }
            if (socket.bytesToWrite() > 0) return false;
            if (texts.isEmpty()) {  // nothing to confirm: the window only comes to the front
                socket.disconnectFromServer();
                return true;
            }
            // The running instance answers with the number of paths it took.
            while (socket.bytesAvailable() < qint64(sizeof(qint32)) &&
                   socket.waitForReadyRead(kHandOverAnswerMs)) {
            }
            qint32 taken = -1;
            if (socket.bytesAvailable() >= qint64(sizeof(qint32))) QDataStream(&socket) >> taken;
            socket.disconnectFromServer();
            return taken == paths.size();
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return false;
}

std::optional<THandOver> ParseHandOver(const QByteArray& message) {
    if (message.size() < kHeaderBytes) return std::nullopt;
    QDataStream in(message.left(kHeaderBytes));
    qint32 id = 0;
    qint32 count = 0;
    qint32 length = 0;  // of the texts; 0 from an earlier version, which did not say
    in >> id >> count >> length;
    if (id != qint32(WM_INSTANCE_STARTED) || count < 0) return std::nullopt;
    const QByteArray texts = message.mid(kHeaderBytes);
    if (length != 0 && texts.size() != length) return std::nullopt;
    if (texts.isEmpty()) return count == 0 ? std::optional<THandOver>(THandOver{}) : std::nullopt;
    if (!texts.endsWith('\0')) return std::nullopt;
    const QList<QByteArray> parts = texts.chopped(1).split('\0');
    THandOver handOver{{}, QString::fromUtf8(parts.front()), {}};
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts[i].isEmpty()) return std::nullopt;
        if (parts[i].front() == kUnusableMark)
            handOver.Unusable << QString::fromUtf8(parts[i].mid(1));
        else
            handOver.Paths << QFile::decodeName(parts[i]);
    }
    if (handOver.Paths.size() != qsizetype(count)) return std::nullopt;
    return handOver;
}

void TApp::ListenForInstances(
    std::function<void(const QStringList&, const QString&, const QStringList&)> openPaths) {
    if (instanceServer_ || InstanceServerName().isEmpty()) return;
    instanceServer_ = std::make_unique<QLocalServer>();
    instanceServer_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!instanceServer_->listen(InstanceServerName())) {
        // A socket left behind by a process that died: ours now, since we hold the instance lock.
        QLocalServer::removeServer(InstanceServerName());
        instanceServer_->listen(InstanceServerName());
    }
    QLocalServer* server = instanceServer_.get();
    // What every connection holds at once, so that many large ones cannot take the memory.
    auto heldInAll = std::make_shared<qint64>(0);
    QObject::connect(server, &QLocalServer::newConnection, server, [server, openPaths, heldInAll] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            struct Connection {
                QByteArray message;
                bool done = false;  // taken, refused or answered: nothing more is read
            };
            auto connection = std::make_shared<Connection>();
            const auto release = [heldInAll, connection] {
                *heldInAll -= connection->message.size();
                connection->message = {};
                connection->done = true;
            };
            const auto take = [socket, connection, openPaths, release] {
                const std::optional<THandOver> handOver = ParseHandOver(connection->message);
                release();
                if (!handOver)
                    platform::MsgOut(QStringLiteral("A malformed hand-over from a later start; ignored"));
                // The later start learns how many paths were taken, and says which were not.
                QByteArray answer;
                QDataStream(&answer, QIODevice::WriteOnly) << qint32(handOver ? handOver->Paths.size() : -1);
                if (socket->state() == QLocalSocket::ConnectedState) {
                    socket->write(answer);
                    socket->flush();
                }
                if (handOver && (!handOver->Paths.isEmpty() || !handOver->Unusable.isEmpty()) && openPaths)
                    openPaths(handOver->Paths, handOver->ActivationToken, handOver->Unusable);
            };
            QObject::connect(
                socket, &QLocalSocket::readyRead, socket, [socket, connection, heldInAll, release, take] {
                    const QByteArray chunk = socket->readAll();
                    if (connection->done) return;
                    if (connection->message.size() + chunk.size() > kMaxHandOverBytes ||
                        *heldInAll + chunk.size() > kMaxHandOverBytesInAll) {
                        platform::MsgOut(
                            QStringLiteral("A later start's hand-over was too large, or came with too many "
                                           "others at once; refused"));
                        release();
                        socket->abort();
                        return;
                    }
                    *heldInAll += chunk.size();
                    connection->message += chunk;
                    if (IsWholeHandOver(connection->message)) take();
                });
            QObject::connect(socket, &QLocalSocket::disconnected, socket,
                             [socket, connection, heldInAll, release, take] {
                                 socket->deleteLater();
                                 if (connection->done) return;
                                 // An earlier version's message is whole once it hangs up.
                                 const QByteArray rest = socket->readAll();
                                 *heldInAll += rest.size();
                                 connection->message += rest;
                                 if (connection->message.size() > kMaxHandOverBytes) return release();
                                 take();
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
