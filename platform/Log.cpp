#include "platform/Log.h"

#include "platform/FileSearch.h"
#include "platform/Utility.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <charconv>
#include <string_view>
#include <vector>

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
    return (RuntimeFolder() + QString::fromLocal8Bit(mutexName)).toLocal8Bit().toStdString();
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

namespace {

// The number after "Log" in a log file's bare name; 0 when the rest is not a decimal number.
long long LogNumber(const std::string& pureName) {
    if (pureName.size() <= 3) return 0;
    const std::string_view rest = std::string_view(pureName).substr(3);
    long long value = 0;
    const char* first = rest.data();
    if (!rest.empty() && rest.front() == '+') ++first;
    const auto [end, error] = std::from_chars(first, rest.data() + rest.size(), value);
    return error == std::errc() && end == rest.data() + rest.size() ? value : 0;
}


}  // namespace

std::string LogFileNameIn(const std::string& folder) {
    std::vector<std::string> files;
    FindDirFile(folder + "Log*.txt", files, false);
    if (files.empty()) return folder + "Log.txt";

    long long greatest = 0;
    std::size_t chosen = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const long long number = LogNumber(PureFileName(files[i]));
        if (number > greatest) {
            greatest = number;
            chosen = i;
        }
    }
    if (GetFileSize(files[chosen]) <= kLogReuseLimit) return files[chosen];
    return folder + "Log" + std::to_string(greatest + 1) + ".txt";
}

}  // namespace platform
