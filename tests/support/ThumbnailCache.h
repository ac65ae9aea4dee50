#pragma once
// A desktop thumbnail cache in a folder of the test's, filled as file managers fill theirs: PNG pictures
// named by the MD5 of the video's file:// URI, carrying Thumb::URI and Thumb::MTime.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testsupport {

class TThumbnailCache {
public:
    explicit TThumbnailCache(QString folder) : folder_(std::move(folder)) {}

    const QString& Folder() const noexcept { return folder_; }
    // Writes a picture of the file `uri` (spelled out by the test, as the freedesktop.org thumbnail
    // standard spells it) into `subfolder`, "normal" or "fail/gnome-thumbnail-factory" say; returns its path
    // relative to the cache.
    QString Write(const QString& subfolder, const QByteArray& uri, qint64 mtime) const;
    // Every picture in the cache, relative to it, sorted.
    QStringList Pictures() const;

private:
    QString folder_;
};

}  // namespace testsupport
