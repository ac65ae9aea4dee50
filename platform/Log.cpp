#include "platform/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

std::unique_ptr<TLog> LogObj;

namespace {

// Holds the advisory lock for one line; no lock (fd < 0) means writing unguarded rather than not at all.
class FileLock {
public:
    explicit FileLock(int fd) : fd_(fd) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::flock(fd_, LOCK_UN);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
};

std::string lockPathFor(const std::string& mutexName) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return (folder + QLatin1Char('/') + QString::fromLocal8Bit(mutexName)).toLocal8Bit().toStdString();
}

}  // namespace

TLog::TLog(std::string fileName, std::string mutexName)
    : fileName_(std::move(fileName)), lockPath_(lockPathFor(mutexName)) {}

TLog::~TLog() {
    if (lockFd_ >= 0) ::close(lockFd_);
}

void TLog::LogMsg(const QString& text) {
    const QByteArray line =
        (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) +
         QStringLiteral("  ") + text + QLatin1Char('\n'))
            .toLocal8Bit();
    const std::lock_guard guard(mutex_);
    if (lockFd_ < 0) lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    const FileLock lock(lockFd_);

    const QString path = QString::fromLocal8Bit(fileName_);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) file.write(line);
}

void MsgOut(const QString& text) {
    if (LogObj) LogObj->LogMsg(text);
}

}  // namespace platform
