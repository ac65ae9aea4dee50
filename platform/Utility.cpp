#include "platform/Utility.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMetaObject>
#include <QObject>
#include <QStandardPaths>
#include <QSysInfo>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Version.h"

namespace platform {

std::string ToLocal8Bit(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

QString FromLocal8Bit(std::string_view text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::uint32_t GetTickCount() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

QString UserName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = qEnvironmentVariable("USERNAME");
    return user.isEmpty() ? QStringLiteral("user") : user;
}

QString RuntimeFolder(QString* problem) {
    // The session's folder, or one of our own in the temporary folder; either is used only while it
    // is the user's alone, and checked the same way.
    const QString session = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString folder = session.isEmpty()
                         ? QDir::tempPath() + QStringLiteral("/velmora-") + QString::number(::getuid())
                         : session;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    const auto refuse = [&](const QString& why) {
        if (problem)
            *problem = session.isEmpty()
                           ? QStringLiteral("The folder %1 %2.").arg(folder, why)
                           : QStringLiteral("The folder %1 (XDG_RUNTIME_DIR) %2.").arg(folder, why);
        return QString();
    };
    if (!QDir::isAbsolutePath(folder)) return refuse(QStringLiteral("is not an absolute path"));
    const QByteArray local = folder.toLocal8Bit();
    if (session.isEmpty() && ::mkdir(local.constData(), 0700) != 0 && errno != EEXIST)
        return refuse(QStringLiteral("cannot be made: ") + QString::fromLocal8Bit(std::strerror(errno)));
    // Looked at through a handle that does not follow a link, so what is checked is what is used.
    const int fd = ::open(local.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return refuse(QStringLiteral("is not a folder of its own (") +
                      QString::fromLocal8Bit(std::strerror(errno)) + QLatin1Char(')'));
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!known || st.st_uid != ::getuid()) return refuse(QStringLiteral("belongs to another account"));
    if ((st.st_mode & 07777) != 0700)
        return refuse(QStringLiteral("may be changed by other accounts (its mode is %1, not 700)")
                          .arg(st.st_mode & 07777, 0, 8));
    return folder + QLatin1Char('/');
}

int TryLockFile(const QString& path, bool* heldByAnother) {
    *heldByAnother = false;
    const QByteArray local = path.toLocal8Bit();
    const int fd = ::open(local.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    int locked = 0;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked == 0) return fd;
    *heldByAnother = errno == EWOULDBLOCK;
    ::close(fd);
    return -1;
}

std::string GetAppDataPath() {
    return ToLocal8Bit(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) + "/";
}

std::string PureFileName(const std::string& path) {
    return ToLocal8Bit(QFileInfo(FromLocal8Bit(path)).completeBaseName());
}

std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 limit, QString* problem) {
    const auto refuse = [&](const QString& why) -> std::optional<QByteArray> {
        if (problem) *problem = path + QStringLiteral(": ") + why;
        return std::nullopt;
    };
    const QByteArray local = path.toLocal8Bit();
    const int fd = ::open(local.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(QStringLiteral("not a regular file"));
    }
    QByteArray bytes;
    bytes.resize(std::min<qint64>(st.st_size, limit) + 1);
    qint64 done = 0;
    int readError = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) readError = errno;
        if (n <= 0) break;
        done += n;
    }
    ::close(fd);
    if (readError != 0) return refuse(QString::fromLocal8Bit(std::strerror(readError)));
    // One byte more than the limit allows was asked for: a file that grew, or was larger, shows here.
    if (done > limit) return refuse(QStringLiteral("larger than %1 bytes").arg(limit));
    bytes.truncate(done);
    return bytes;
}

bool IsReplaceableFile(const QString& path, QString* problem) {
    const auto refuse = [&](const QString& why) {
        if (problem) *problem = path + QStringLiteral(": ") + why;
        return false;
    };
    const QByteArray local = path.toLocal8Bit();
    struct stat st {};
    if (::lstat(local.constData(), &st) != 0)
        return errno == ENOENT || refuse(QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(st.st_mode) && ::stat(local.constData(), &st) != 0)
        return refuse(QStringLiteral("a symbolic link to something that does not exist"));
    return S_ISREG(st.st_mode) || refuse(QStringLiteral("not a regular file"));
}

std::int64_t GetFileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

bool CopyFileEx(const std::string& source, const std::string& target) {
    // Copied beside the target first and then renamed over it, so a failed copy never leaves a broken target.
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::is_regular_file(source, error)) return false;
    const fs::path temporary = fs::path(target).concat(".copying");
    fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, error);
    if (!error) fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

std::string DeleteEnd(std::string text, std::size_t count) {
    text.resize(text.size() > count ? text.size() - count : 0);
    return text;
}

std::vector<std::string> DivStrToList(std::string_view text, std::string_view separator, bool keepEmpty) {
    std::vector<std::string> pieces;
    if (separator.empty()) {
        if (keepEmpty || !text.empty()) pieces.emplace_back(text);
        return pieces;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        const std::string_view piece = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (keepEmpty || !piece.empty()) pieces.emplace_back(piece);
        if (end == std::string_view::npos) break;
        start = end + separator.size();
    }
    return pieces;
}

double StrToFloatDefEx(const QString& text, double defaultValue) {
    const QString trimmed = text.trimmed();
    // Group separators are never read: "1,500" is not fifteen hundred anywhere.
    const auto strict = [](QLocale locale) {
        locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
        return locale;
    };
    bool ok = false;
    double value = strict(QLocale()).toDouble(trimmed, &ok);
    if (!ok) value = strict(QLocale::c()).toDouble(trimmed, &ok);
    // A value written where the decimal separator is a comma, read where it is not.
    if (!ok) value = QLocale::c().toDouble(QString(trimmed).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    return ok && std::isfinite(value) ? value : defaultValue;
}

bool IsInheritsFrom(const QObject* object, const QMetaObject& base) {
    return object != nullptr && IsInheritsFrom(object->metaObject(), base);
}

bool IsInheritsFrom(const QMetaObject* cls, const QMetaObject& base) {
    return cls != nullptr && cls->inherits(&base);
}

void RaiseError(const std::string& message) {
    throw AppError(message);
}

QString FormatSecond(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    const std::int64_t hours = seconds / 3600;
    const std::int64_t minutes = seconds / 60 % 60;
    const std::int64_t rest = seconds % 60;
    if (hours > 0)
        return QStringLiteral("%1h %2m %3s")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(rest, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1m %2s").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}

std::string GetProVersion(bool compact) {
    std::string version = velmora::kVersionText;
    if (!compact)
        version += std::string(" (Qt ") + qVersion() + ", " + ToLocal8Bit(QSysInfo::buildAbi()) + ")";
    return version;
}

std::string GetWindowsVersion() {
    return ToLocal8Bit(QSysInfo::prettyProductName());
}

std::string GetWindowsVerNum() {
    return ToLocal8Bit(QSysInfo::kernelVersion());
}

bool IsWin64() {
    return QSysInfo::currentCpuArchitecture().contains(QStringLiteral("64"));
}

}  // namespace platform
