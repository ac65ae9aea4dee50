#pragma once
// The desktop's shared thumbnail cache (the freedesktop.org layout): file managers and players keep a
// picture of every video there, named by the MD5 of the video's file:// URI, and reuse it as long as
// the video's last-write time is unchanged. A scrambled video keeps its time, so its old picture has to
// go with it.

#include <QString>
#include <QStringList>

namespace platform {

// $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails without it; no trailing slash.
QString ThumbnailCacheFolder();

// The URIs a thumbnail of the file at `path` may be filed under: its absolute path and, when links
// lead to it, its canonical path, each spelled as GLib does (GNOME, Xfce, most players: every byte but
// the unreserved ones and "!$&'()*+,/:=@" percent-encoded) and as Qt does (KDE: ";" and the brackets
// kept). Duplicates are dropped.
QStringList ThumbnailUris(const QString& path);

// Which pictures of a file to remove.
enum class TThumbnails {
    All,      // every size and every program's failure note: the file no longer shows what it held
    Failures  // only the failure notes, so that file managers try again once the file plays
};

struct TThumbnailRemoval {
    int Removed = 0;
    QStringList Problems;  // one line per picture that is there but could not be removed
};

// Removes the cached pictures of the file at `path` from `cacheFolder`: normal/, large/, x-large/ and
// xx-large/ (with All) and fail/<any program>/, for each of ThumbnailUris(path). Missing pictures are
// no problem; nothing else in the cache is touched.
TThumbnailRemoval RemoveThumbnails(const QString& path, TThumbnails which,
                                   const QString& cacheFolder = ThumbnailCacheFolder());

}  // namespace platform
