#include "platform/Thumbnails.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <array>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace platform {

namespace {

constexpr std::array kSizeFolders{"normal", "large", "x-large", "xx-large"};

// GLib's spelling of a local file's URI: the path's bytes with everything but the unreserved characters
// and the few a path may keep percent-encoded in capitals.
QString GLibUri(const QString& absolutePath) {
    return QStringLiteral("file://") +
           QString::fromLatin1(QFile::encodeName(absolutePath).toPercentEncoding("!$&'()*+,/:=@"));
}

QString QtUri(const QString& absolutePath) {
    return QString::fromLatin1(QUrl::fromLocalFile(absolutePath).toEncoded(QUrl::FullyEncoded));
}

QString ThumbnailName(const QString& uri) {
    return QString::fromLatin1(QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

// Removes one picture; a missing one is no problem.
void RemovePicture(const QString& file, TThumbnailRemoval& removal) {
    const QByteArray name = QFile::encodeName(file);
    if (::unlink(name.constData()) == 0) {
        ++removal.Removed;
    } else if (errno != ENOENT && errno != ENOTDIR) {
        removal.Problems << file + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    }
}

}  // namespace

QString ThumbnailCacheFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/thumbnails");
}

QStringList ThumbnailUris(const QString& path) {
    const QFileInfo info(path);
    QStringList paths{QDir::cleanPath(info.absoluteFilePath())};
    if (const QString canonical = info.canonicalFilePath(); !canonical.isEmpty()) paths << canonical;
    QStringList uris;
    for (const QString& each : paths)
        for (const QString& uri : {GLibUri(each), QtUri(each)})
            if (!uris.contains(uri)) uris << uri;
    return uris;
}

TThumbnailRemoval RemoveThumbnails(const QString& path, TThumbnails which, const QString& cacheFolder) {
    QStringList folders;
    if (which == TThumbnails::All)
        for (const char* size : kSizeFolders) folders << cacheFolder + QLatin1Char('/') + QLatin1String(size);
    const QDir failures(cacheFolder + QStringLiteral("/fail"));
    for (const QString& program : failures.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
        folders << failures.filePath(program);

    TThumbnailRemoval removal;
    for (const QString& uri : ThumbnailUris(path)) {
        const QString name = ThumbnailName(uri);
        for (const QString& folder : folders) RemovePicture(folder + QLatin1Char('/') + name, removal);
    }
    return removal;
}

}  // namespace platform
