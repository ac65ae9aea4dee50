#include "support/ThumbnailCache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QImage>

#include <stdexcept>

namespace testsupport {

QString TThumbnailCache::Write(const QString& subfolder, const QByteArray& uri, qint64 mtime) const {
    const QString name = subfolder + QLatin1Char('/') +
                         QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
                         QStringLiteral(".png");
    QDir().mkpath(folder_ + QLatin1Char('/') + subfolder);
    QImage picture(subfolder.startsWith(QStringLiteral("fail")) ? 1 : 128, 72, QImage::Format_ARGB32);
    picture.fill(Qt::darkCyan);
    picture.setText(QStringLiteral("Thumb::URI"), QString::fromUtf8(uri));
    picture.setText(QStringLiteral("Thumb::MTime"), QString::number(mtime));
    if (!picture.save(folder_ + QLatin1Char('/') + name, "PNG"))
        throw std::runtime_error("cannot write the picture " + name.toStdString());
    return name;
}

QStringList TThumbnailCache::Pictures() const {
    QStringList pictures;
    QDirIterator it(folder_, {QStringLiteral("*.png")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) pictures << QDir(folder_).relativeFilePath(it.next());
    pictures.sort();
    return pictures;
}

}  // namespace testsupport
