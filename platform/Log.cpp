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
#include <chrono>
#include <string_view>
#include <thread>
#include <vector>

#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::unique_ptr<TLog> LogObj;

namespace {

// Another writer holds the lock only for one line, so a lock held longer than this belongs to a hung
// or hostile process; the line is then written without it rather than the program waiting for good.
constexpr auto kLockWait = std::chrono::seconds(2);

// Holds the advisory lock for one line, waiting at most kLockWait; no lock (fd < 0, or the wait ran
// out) means writing unguarded rather than not at all.
class FileLock {
public:
    explicit FileLock(int fd) {
        if (fd < 0) return;
        const auto deadline = std::chrono::steady_clock::now() + kLockWait;
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EINTR && errno != EWOULDBLOCK) return;
            if (std::chrono::steady_clock::now() >= deadline) {
                timedOut_ = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        fd_ = fd;
    }
    ~FileLock() {
        if (fd_ >= 0) ::flock(fd_, LOCK_UN);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool timedOut() const noexcept { return timedOut_; }

private:
    int fd_ = -1;
    bool timedOut_ = false;
};

// Empty where no safe runtime folder can be had: the lines are then written without the lock.
std::string lockPathFor(const std::string& mutexName) {
    const QString folder = RuntimeFolder();
    return folder.isEmpty() ? std::string()
                            : (folder + QString::fromLocal8Bit(mutexName)).toLocal8Bit().toStdString();
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
    if (lockFd_ < 0 && !lockPath_.empty() && !lockAbandoned_)
        lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    const FileLock lock(lockAbandoned_ ? -1 : lockFd_);
    // Waited for once in vain: the later lines of this process do not wait again.
    if (lock.timedOut()) lockAbandoned_ = true;

    const QString path = QString::fromLocal8Bit(fileName_);
    QDir().mkpath(QFileInfo(path).absolutePath());
    // A dangling link would have the append create whatever it names.
    if (QString problem; !IsReplaceableFile(path, &problem)) {
        if (!toldNotRegular_)
            std::fprintf(stderr, "velmora: %s; nothing is logged there\n", qPrintable(problem));
        toldNotRegular_ = true;
        return;
    }
    // Without blocking: a FIFO in the log's place would hold the program in open() until a reader came.
    const int fd = ::open(fileName_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        for (qsizetype done = 0; done < line.size();) {
            const ssize_t n =
                ::write(fd, line.constData() + done, static_cast<std::size_t>(line.size() - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += n;
        }
    } else if (!toldNotRegular_) {
        toldNotRegular_ = true;
        std::fprintf(stderr, "velmora: %s is not a regular file; nothing is logged there\n",
                     fileName_.c_str());
    }
    ::close(fd);
}

void MsgOut(const QString& text) {
    if (LogObj) LogObj->LogMsg(text);
}

namespace {

// Log numbers this program could have reached; a file with a larger one (a name made by hand) is not
// one of its logs, and counting on from it could overflow.
constexpr long long kLargestLogNumber = 1'000'000'000;

// The number after "Log" in a log file's bare name; 0 when the rest is not a decimal number of ours.
long long LogNumber(const std::string& pureName) {
    if (pureName.size() <= 3) return 0;
    const std::string_view rest = std::string_view(pureName).substr(3);
    long long value = 0;
    const char* first = rest.data();
    if (!rest.empty() && rest.front() == '+') ++first;
    const auto [end, error] = std::from_chars(first, rest.data() + rest.size(), value);
    const bool whole = error == std::errc() && end == rest.data() + rest.size();
    return whole && value <= kLargestLogNumber ? value : 0;
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
