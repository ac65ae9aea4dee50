#include "platform/RecentFiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMultiHash>
#include <QSet>
#include <QStandardPaths>

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Larger than any list GTK keeps (it drops entries after a month) by far; anything bigger is not read.
constexpr qint64 kListLimit = 64 * 1024 * 1024;
// A KDE link holds a few short lines.
constexpr qint64 kLinkLimit = 64 * 1024;

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes a descriptor when it goes out of scope.
class TFd {
public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// "/a//b/./c" and "/a/b/c" name the same file; ".." is left as it is, since a link may stand before it.
QByteArray CleanPathBytes(const QByteArray& path) {
    QByteArray clean;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == ".") continue;
        clean += '/' + part;
    }
    return clean.isEmpty() ? QByteArray("/") : clean;
}

// How an entry may name one of the files: by the path it was given (made absolute) or its real one,
// or by any other path that links resolve to the real one (a folder the user opened through a link).
struct TFileNames {
    QSet<QByteArray> Paths;
    // The real paths of the files that exist, by the last part of the path given and of the real one:
    // a path that links resolve to the file ends in one of them, unless the file is itself a link.
    QMultiHash<QByteArray, QByteArray> CanonicalByName;
};

QByteArray LastPart(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

TFileNames NamesOf(const QStringList& paths) {
    TFileNames names;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QByteArray given = CleanPathBytes(QFile::encodeName(QDir::cleanPath(info.absoluteFilePath())));
        names.Paths << given;
        if (const QString canonical = info.canonicalFilePath(); !canonical.isEmpty()) {
            const QByteArray real = QFile::encodeName(canonical);
            names.Paths << real;
            names.CanonicalByName.insert(LastPart(given), real);
            if (LastPart(real) != LastPart(given)) names.CanonicalByName.insert(LastPart(real), real);
        }
    }
    return names;
}

bool IsPathOf(const QByteArray& local, const TFileNames& names) {
    const QByteArray clean = CleanPathBytes(local);
    if (names.Paths.contains(clean)) return true;
    // Resolving links costs a look at the disk: only for a path that ends in one of the files' names.
    const QList<QByteArray> candidates = names.CanonicalByName.values(LastPart(clean));
    if (candidates.isEmpty()) return false;
    char* real = ::realpath(clean.constData(), nullptr);
    const bool same = real != nullptr && candidates.contains(QByteArray(real));
    std::free(real);
    return same;
}

// Whether `name` names the file: a file URI ("file:///a%20b", "file://localhost/a b", "file:/a b") in
// any escaping, or a plain absolute path, which is never unescaped.
bool NamesFile(const QByteArray& name, const TFileNames& names) {
    if (name.startsWith('/')) return IsPathOf(name, names);
    if (name.left(5).toLower() != "file:") return false;
    QByteArray rest = name.mid(5);
    if (rest.startsWith("//")) {
        const qsizetype slash = rest.indexOf('/', 2);
        if (slash < 0) return false;
        const QByteArray host = rest.mid(2, slash - 2).toLower();
        if (!host.isEmpty() && host != "localhost") return false;  // another machine's file
        rest = rest.mid(slash);
    }
    return rest.startsWith('/') && IsPathOf(QByteArray::fromPercentEncoding(rest), names);
}

struct TReadFile {
    QByteArray Content;
    struct stat Status {};
};

// Reads the regular file `fd` whole, up to `limit` bytes.
std::optional<TReadFile> ReadWhole(int fd, qint64 limit, QString& problem) {
    TReadFile file;
    if (::fstat(fd, &file.Status) != 0) {
        problem = SystemError(errno);
        return std::nullopt;
    }
    if (!S_ISREG(file.Status.st_mode)) {
        problem = QStringLiteral("not a regular file");
        return std::nullopt;
    }
    if (file.Status.st_size > limit) {
        problem = QStringLiteral("larger than %1 bytes").arg(limit);
        return std::nullopt;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            problem = SystemError(errno);
            return std::nullopt;
        }
        if (got == 0) break;
        file.Content.append(buffer, got);
        if (file.Content.size() > limit) {
            problem = QStringLiteral("larger than %1 bytes").arg(limit);
            return std::nullopt;
        }
    }
    return file;
}

bool SameFileState(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool WriteAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t wrote = ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += wrote;
    }
    return true;
}

// Where the element that starts with the "<" at `start` ends (one past its ">"), or -1 when the text
// breaks off first. Knows enough XML to skip what may hold a stray "<" or ">": comments, CDATA,
// processing instructions and quoted attribute values.
qsizetype ElementEnd(const QByteArray& text, qsizetype start) {
    const qsizetype n = text.size();
    int depth = 0;
    qsizetype i = start;
    const auto skipPast = [&](const char* closing, qsizetype from) -> qsizetype {
        const qsizetype at = text.indexOf(closing, from);
        return at < 0 ? -1 : at + static_cast<qsizetype>(std::strlen(closing));
    };
    while (i >= 0 && i < n) {
        if (text[i] != '<') {
            i = text.indexOf('<', i);
            continue;
        }
        const QByteArrayView rest = QByteArrayView(text).sliced(i);
        if (rest.startsWith("<!--")) {
            i = skipPast("-->", i + 4);
        } else if (rest.startsWith("<![CDATA[")) {
            i = skipPast("]]>", i + 9);
        } else if (rest.startsWith("<?")) {
            i = skipPast("?>", i + 2);
        } else if (rest.startsWith("<!")) {
            return -1;  // a declaration has no place inside an element
        } else if (rest.startsWith("</")) {
            i = skipPast(">", i + 2);
            if (--depth == 0) return i;
        } else {
            char quote = 0;
            qsizetype j = i + 1;
            for (; j < n; ++j) {
                const char c = text[j];
                if (quote != 0) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (j >= n) return -1;
            i = j + 1;
            if (text[j - 1] != '/') {
                ++depth;
            } else if (depth == 0) {
                return i;
            }
        }
    }
    return -1;
}

// The bytes to cut for the element at [start, end): its whole lines when it has them to itself, so
// that no blank line is left where it stood.
std::pair<qsizetype, qsizetype> WholeLines(const QByteArray& text, qsizetype start, qsizetype end) {
    qsizetype from = start;
    while (from > 0 && (text[from - 1] == ' ' || text[from - 1] == '\t')) --from;
    qsizetype to = end;
    while (to < text.size() && (text[to] == ' ' || text[to] == '\t' || text[to] == '\r')) ++to;
    if ((from == 0 || text[from - 1] == '\n') && to < text.size() && text[to] == '\n') return {from, to + 1};
    return {start, end};
}

struct TParsedList {
    pugi::xml_document Document;
    int Bookmarks = 0;
    std::vector<pugi::xml_node> Matches;  // the bookmarks that name the file, in document order
};

// Parses an XBEL list; the problem says why it is not one.
bool ParseList(const QByteArray& text, const TFileNames& paths, TParsedList& list, QString& problem) {
    const pugi::xml_parse_result parsed = list.Document.load_buffer(
        text.constData(), static_cast<size_t>(text.size()), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        problem = QStringLiteral("does not parse (%1 at byte %2)")
                      .arg(QString::fromUtf8(parsed.description()))
                      .arg(parsed.offset);
        return false;
    }
    if (std::strcmp(list.Document.document_element().name(), "xbel") != 0) {
        problem = QStringLiteral("is not an XBEL list");
        return false;
    }
    for (const pugi::xpath_node& each : list.Document.select_nodes("//bookmark")) {
        ++list.Bookmarks;
        if (NamesFile(QByteArray(each.node().attribute("href").value()), paths))
            list.Matches.push_back(each.node());
    }
    return true;
}

// The list without the matched bookmarks, or nullopt when their places in the text cannot be told.
std::optional<QByteArray> CutBookmarks(const QByteArray& text, const TParsedList& list) {
    std::vector<std::pair<qsizetype, qsizetype>> cuts;
    for (const pugi::xml_node& node : list.Matches) {
        // The offset is that of the element's name, one past its "<".
        const auto name = static_cast<qsizetype>(node.offset_debug());
        if (name < 1 || name >= text.size() || text[name - 1] != '<' ||
            !QByteArrayView(text).sliced(name).startsWith("bookmark"))
            return std::nullopt;
        const qsizetype end = ElementEnd(text, name - 1);
        if (end < 0) return std::nullopt;
        cuts.push_back(WholeLines(text, name - 1, end));
    }
    std::sort(cuts.begin(), cuts.end());
    QByteArray result;
    qsizetype kept = 0;
    for (const auto& [from, to] : cuts) {
        if (from < kept) return std::nullopt;  // overlapping elements: not a list GTK wrote
        result += QByteArrayView(text).sliced(kept, from - kept);
        kept = to;
    }
    result += QByteArrayView(text).sliced(kept);
    return result;
}

// Writes `content` next to `target` with its owner and mode, then puts it in its place, unless the
// target no longer is what was read (`read`).
bool ReplaceList(const QString& target, const QByteArray& content, const TReadFile& read,
                 const std::function<void()>& beforeReplace, QString& problem) {
    const QByteArray targetName = QFile::encodeName(target);
    QByteArray temporary = targetName + ".XXXXXX";
    TFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        problem = QStringLiteral("cannot write a new list: ") + SystemError(errno);
        return false;
    }
    const auto fail = [&](const QString& what) {
        problem = what;
        ::unlink(temporary.constData());
        return false;
    };
    if (::fchown(fd.get(), read.Status.st_uid, read.Status.st_gid) != 0 ||
        ::fchmod(fd.get(), read.Status.st_mode & 07777) != 0)
        return fail(QStringLiteral("cannot give the new list the owner and mode of the old: ") +
                    SystemError(errno));
    if (!WriteAll(fd.get(), content) || ::fsync(fd.get()) != 0)
        return fail(QStringLiteral("cannot write a new list: ") + SystemError(errno));
    if (::close(fd.release()) != 0)
        return fail(QStringLiteral("cannot write a new list: ") + SystemError(errno));

    if (beforeReplace) beforeReplace();

    // A GTK program may have saved the list meanwhile: its entries must not be lost to this copy.
    TFd again(::open(targetName.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    QString unused;
    const std::optional<TReadFile> now =
        again.get() < 0 ? std::nullopt : ReadWhole(again.get(), kListLimit, unused);
    if (!now || !SameFileState(now->Status, read.Status) || now->Content != read.Content)
        return fail(QStringLiteral("changed while it was being rewritten; left as it is"));

    if (::rename(temporary.constData(), targetName.constData()) != 0)
        return fail(QStringLiteral("cannot replace it: ") + SystemError(errno));
    // The rename itself is kept only once the folder is on disk.
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    if (const TFd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

// KDE's unescaping of a value: "\s", "\t", "\n", "\r", "\\" and "\xNN".
QByteArray UnescapeValue(const QByteArray& value) {
    QByteArray out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' || i + 1 >= value.size()) {
            out += c;
            continue;
        }
        const char next = value[++i];
        switch (next) {
            case 's':
                out += ' ';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            case 'x':
                if (i + 2 < value.size() && std::isxdigit(static_cast<unsigned char>(value[i + 1])) &&
                    std::isxdigit(static_cast<unsigned char>(value[i + 2]))) {
                    out += static_cast<char>(value.mid(i + 1, 2).toInt(nullptr, 16));
                    i += 2;
                    break;
                }
                [[fallthrough]];
            default:
                out += '\\';
                out += next;
                break;
        }
    }
    return out;
}

// KDE's "[$e]" expansion as far as a file's place needs it: "$$" is "$", "$NAME" and "${NAME}" the
// environment's value. A "$(command)" is never run: such a value names no file here.
std::optional<QByteArray> ExpandValue(const QByteArray& value) {
    QByteArray out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != '$') {
            out += value[i];
            continue;
        }
        if (i + 1 < value.size() && value[i + 1] == '$') {
            out += '$';
            ++i;
            continue;
        }
        if (i + 1 < value.size() && value[i + 1] == '(') return std::nullopt;
        QByteArray name;
        qsizetype next = i + 1;
        if (next < value.size() && value[next] == '{') {
            const qsizetype close = value.indexOf('}', next);
            if (close < 0) return std::nullopt;
            name = value.mid(next + 1, close - next - 1);
            next = close + 1;
        } else {
            while (next < value.size() &&
                   (std::isalnum(static_cast<unsigned char>(value[next])) || value[next] == '_'))
                name += value[next++];
        }
        if (name.isEmpty()) {
            out += '$';
            continue;
        }
        out += qgetenv(name.constData());
        i = next - 1;
    }
    return out;
}

// Whether the KDE link `content` leads to one of `paths`.
bool LinkNamesFile(const QByteArray& content, const TFileNames& paths) {
    bool inEntry = false;
    for (QByteArray line : content.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) continue;
        const QByteArray key = line.left(equals).trimmed();
        if (key != "URL" && key != "URL[$e]") continue;
        const std::optional<QByteArray> value =
            key == "URL" ? UnescapeValue(line.mid(equals + 1).trimmed())
                         : ExpandValue(UnescapeValue(line.mid(equals + 1).trimmed()));
        if (value && NamesFile(*value, paths)) return true;
    }
    return false;
}

}  // namespace

QString RecentFilesDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

TRecentRemoval RemoveFromRecentList(const QStringList& files, const QString& listFile,
                                    const std::function<void()>& beforeReplace) {
    TRecentRemoval removal;
    const auto report = [&](const QString& target, const QString& what) {
        removal.Problems << target + QStringLiteral(": ") + what;
        return removal;
    };
    // A list kept elsewhere through a link is rewritten where it really is, and the link stays.
    const QFileInfo info(listFile);
    const QString target = info.isSymLink() ? info.canonicalFilePath() : listFile;
    if (target.isEmpty()) return removal;  // a dangling link: there is no list

    TFd fd(::open(QFile::encodeName(target).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return removal;
        return report(target, SystemError(errno));
    }
    QString problem;
    const std::optional<TReadFile> read = ReadWhole(fd.get(), kListLimit, problem);
    if (!read) return report(target, problem);
    const TFileNames paths = NamesOf(files);

    TParsedList list;
    if (!ParseList(read->Content, paths, list, problem)) return report(target, problem);
    if (list.Matches.empty()) return removal;

    const std::optional<QByteArray> cut = CutBookmarks(read->Content, list);
    TParsedList check;
    QString unused;
    // The new list must be the old one with exactly these bookmarks gone.
    if (!cut || !ParseList(*cut, paths, check, unused) || !check.Matches.empty() ||
        check.Bookmarks != list.Bookmarks - static_cast<int>(list.Matches.size()))
        return report(target, QStringLiteral("the entries cannot be told apart in its text; left as it is"));

    if (!ReplaceList(target, *cut, *read, beforeReplace, problem)) return report(target, problem);
    removal.Removed = static_cast<int>(list.Matches.size());
    return removal;
}

TRecentRemoval RemoveRecentDocuments(const QStringList& files, const QString& folder) {
    TRecentRemoval removal;
    const QByteArray folderName = QFile::encodeName(folder);
    const int dirFd = ::open(folderName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            removal.Problems << folder + QStringLiteral(": ") + SystemError(errno);
        return removal;
    }
    DIR* dir = ::fdopendir(dirFd);
    if (dir == nullptr) {
        removal.Problems << folder + QStringLiteral(": ") + SystemError(errno);
        ::close(dirFd);
        return removal;
    }
    const TFileNames paths = NamesOf(files);
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.endsWith(".desktop")) names << name;
    }
    for (const QByteArray& name : names) {
        // O_NOFOLLOW: a link in the folder may lead anywhere, and is neither read nor removed.
        TFd fd(::openat(dirFd, name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (fd.get() < 0) continue;
        QString unused;
        const std::optional<TReadFile> link = ReadWhole(fd.get(), kLinkLimit, unused);
        if (!link || !LinkNamesFile(link->Content, paths)) continue;
        if (::unlinkat(dirFd, name.constData(), 0) == 0) {
            ++removal.Removed;
        } else if (errno != ENOENT) {
            removal.Problems << folder + QLatin1Char('/') + QFile::decodeName(name) + QStringLiteral(": ") +
                                    SystemError(errno);
        }
    }
    ::closedir(dir);
    return removal;
}

TRecentRemoval RemoveRecentEntries(const QStringList& files, const QString& dataFolder) {
    if (files.isEmpty()) return {};
    TRecentRemoval removal = RemoveFromRecentList(files, dataFolder + QStringLiteral("/recently-used.xbel"));
    const TRecentRemoval links =
        RemoveRecentDocuments(files, dataFolder + QStringLiteral("/RecentDocuments"));
    removal.Removed += links.Removed;
    removal.Problems += links.Problems;
    return removal;
}

}  // namespace platform
