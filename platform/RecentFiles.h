#pragma once
// The desktop's lists of recently opened files. GTK programs (file managers, players, every GTK file
// dialog) keep one list in $XDG_DATA_HOME/recently-used.xbel; KDE keeps one .desktop link per file in
// $XDG_DATA_HOME/RecentDocuments/. Both go on showing a video's name, and offer to open it, after it
// has been scrambled, so its entries go with its thumbnails.

#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

// $XDG_DATA_HOME, or ~/.local/share without it; no trailing slash.
QString RecentFilesDataFolder();

struct TRecentRemoval {
    int Removed = 0;       // entries (bookmarks, links) taken out
    QStringList Problems;  // one line per list or link that names the file and was left as it was
};

// Takes every bookmark that names one of `files` (by its absolute path, its canonical one or any path
// that links resolve to it, in any spelling of a file URI: GLib's, Qt's, lower-case escapes,
// "localhost") out of the GTK list `listFile`, which is read and rewritten once for all of them. Only the
// bookmark elements are cut out of the text: every other byte stays, and the list is replaced atomically,
// with its owner and mode, only once the result is known to parse. A missing list, or one without such a
// bookmark, is left alone and no problem. A list that does not parse, or that changes while it is rewritten
// (a GTK program saved it meanwhile), is left as it is and reported. `beforeReplace`, when given, runs after
// the new list is written and before it replaces the old one.
TRecentRemoval RemoveFromRecentList(const QStringList& files, const QString& listFile,
                                    const std::function<void()>& beforeReplace = {});

// Removes the KDE links in `folder` whose URL (a path or a file URI, with KDE's "$HOME" expanded) names
// one of `files`. Only regular files ending in ".desktop" are read; links in the folder are never
// followed, and nothing else is touched.
TRecentRemoval RemoveRecentDocuments(const QStringList& files, const QString& folder);

// Both of the above, in `dataFolder`/recently-used.xbel and `dataFolder`/RecentDocuments.
TRecentRemoval RemoveRecentEntries(const QStringList& files,
                                   const QString& dataFolder = RecentFilesDataFolder());

}  // namespace platform
