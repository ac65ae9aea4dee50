// The desktop's lists of recent files: every entry of a scrambled video goes, in whatever spelling the
// desktop wrote it, and nothing else changes by a single byte; a list that cannot be rewritten safely
// stays as it is.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/RecentFiles.h"
#include "support/TempDir.h"

namespace {

using platform::RemoveFromRecentList;
using platform::RemoveRecentDocuments;
using platform::RemoveRecentEntries;

QByteArray Read(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void Write(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(content);
}

struct stat Stat(const QString& path) {
    struct stat status {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0) << path.toStdString();
    return status;
}

// One bookmark as GTK writes it, with the XML escaping the caller gives.
QByteArray Bookmark(const QByteArray& href) {
    return "  <bookmark href=\"" + href +
           "\" added=\"2024-05-01T10:00:00.000001Z\" modified=\"2024-05-01T10:00:00.000001Z\" "
           "visited=\"2024-05-01T10:00:00.000001Z\">\n"
           "    <info>\n"
           "      <metadata owner=\"http://freedesktop.org\">\n"
           "        <mime:mime-type type=\"video/mp4\"/>\n"
           "        <bookmark:applications>\n"
           "          <bookmark:application name=\"Totem\" exec=\"&apos;totem %u&apos;\" "
           "modified=\"2024-05-01T10:00:00.000001Z\" count=\"2\"/>\n"
           "        </bookmark:applications>\n"
           "      </metadata>\n"
           "    </info>\n"
           "  </bookmark>\n";
}

const QByteArray kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
    ">\n";
const QByteArray kTail = "</xbel>\n";

class RecentFilesTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    QString root = QString::fromStdString(dir.path().string());
    // The scratch folder's own name needs no escaping: the tests spell out the rest by hand.
    QByteArray rootUri = "file://" + QFile::encodeName(root);
    QString list = root + QStringLiteral("/data/recently-used.xbel");
    // GLib escapes ";" and the brackets, Qt keeps them; both escape the blanks and the "ë".
    QString video = root + QStringLiteral("/real/Film; [1] & Zoë.mp4");
    QByteArray glib = "/real/Film%3B%20%5B1%5D%20&amp;%20Zo%C3%AB.mp4";
    QByteArray qt = "/real/Film;%20[1]%20&amp;%20Zo%C3%AB.mp4";

    void SetUp() override {
        Write(video, "not a video");
        std::filesystem::create_directory_symlink(dir.file("real"), dir.file("link"));
    }
};

TEST_F(RecentFilesTest, EveryEntryOfTheVideoGoesAndEveryOtherStaysByteForByte) {
    const struct {
        const char* what;
        QByteArray entry;
        bool goes;
    } entries[] = {
        {"GLib's spelling", Bookmark(rootUri + glib), true},
        {"Qt's spelling", Bookmark(rootUri + qt), true},
        {"lower-case escapes and localhost",
         Bookmark("file://localhost" + QFile::encodeName(root) +
                  "/real/Film%3b%20%5b1%5d%20&amp;%20Zo%c3%ab.mp4"),
         true},
        {"through the link the user opened it by",
         Bookmark(rootUri + "/link/Film%3B%20%5B1%5D%20&amp;%20Zo%C3%AB.mp4"), true},
        {"written on one line", "  <bookmark href=\"" + rootUri + qt + "\"/>\n", true},
        // What a careless scan would take for the end of the element: it must go whole.
        {"a note that holds a closing tag",
         "  <bookmark href=\"" + rootUri + glib +
             "\" title=\"a > b\"><desc><![CDATA[</bookmark>]]></desc><!-- </bookmark> --></bookmark>\n",
         true},
        {"a longer name", Bookmark(rootUri + glib + ".part"), false},
        {"the same name elsewhere", Bookmark("file:///elsewhere/Film%3B%20%5B1%5D%20&amp;%20Zo%C3%AB.mp4"),
         false},
        {"another machine's file", Bookmark("file://otherhost" + QFile::encodeName(root) + glib), false},
        {"another file, written oddly",
         "\t<bookmark  href='" + rootUri +
             "/real/other.mp4'   added=\"x\" ><title>Other &amp; more</title>"
             "</bookmark>  <!-- kept -->\n",
         false},
        {"a folder's entry", Bookmark(rootUri + "/real"), false},
        {"another video of the same job", Bookmark(rootUri + "/real/second.mkv"), true},
    };
    QByteArray before = kHead;
    QByteArray expected = kHead;
    int going = 0;
    for (const auto& entry : entries) {
        before += entry.entry;
        if (!entry.goes) expected += entry.entry;
        going += entry.goes;
    }
    before += kTail;
    expected += kTail;
    Write(list, before);
    ASSERT_EQ(::chmod(QFile::encodeName(list).constData(), 0640), 0);
    ASSERT_EQ(::chown(QFile::encodeName(list).constData(), 4321, 8765), 0) << "the tests run as root";

    const auto removal = RemoveFromRecentList(
        {root + QStringLiteral("/link/Film; [1] & Zoë.mp4"), root + QStringLiteral("/real/second.mkv")},
        list);
    EXPECT_TRUE(removal.Problems.isEmpty()) << removal.Problems.join('\n').toStdString();
    EXPECT_EQ(removal.Removed, going);
    const QByteArray after = Read(list);
    EXPECT_EQ(after.toStdString(), expected.toStdString());
    for (const auto& entry : entries) EXPECT_EQ(after.contains(entry.entry), !entry.goes) << entry.what;
    const struct stat status = Stat(list);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(status.st_uid, 4321u);
    EXPECT_EQ(status.st_gid, 8765u);
    EXPECT_EQ(QDir(root + QStringLiteral("/data")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("recently-used.xbel")})
        << "no temporary file is left";
}

TEST_F(RecentFilesTest, AListThatCannotBeRewrittenSafelyStaysAsItIs) {
    const QByteArray mine = kHead + Bookmark(rootUri + glib) + kTail;
    const QByteArray someoneElses = kHead + Bookmark(rootUri + glib) + Bookmark("file:///new.mp4") + kTail;
    const struct {
        const char* what;
        QByteArray content;
        QByteArray changedTo;  // what another program saves meanwhile, if anything
        const char* problem;   // what the report says; nothing when the list is simply not concerned
    } cases[] = {
        {"broken off", (kHead + Bookmark(rootUri + glib)).left(kHead.size() + 60), {}, "does not parse"},
        {"not XML", "recently used: " + rootUri + glib, {}, "does not parse"},
        {"another kind of XML", "<bookmarks>" + Bookmark(rootUri + glib) + "</bookmarks>", {}, "not an XBEL"},
        {"saved by GTK meanwhile", mine, someoneElses, "changed while"},
        {"no entry of the video", kHead + Bookmark(rootUri + "/real/other.mp4") + kTail, {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Write(list, c.content);
        const struct stat before = Stat(list);
        const auto removal = RemoveFromRecentList({video}, list, [&] {
            if (!c.changedTo.isEmpty()) Write(list, c.changedTo);
        });
        EXPECT_EQ(removal.Removed, 0);
        if (c.problem) {
            ASSERT_EQ(removal.Problems.size(), 1);
            EXPECT_TRUE(removal.Problems[0].startsWith(list + QStringLiteral(": ")));
            EXPECT_TRUE(removal.Problems[0].contains(QLatin1String(c.problem)))
                << removal.Problems[0].toStdString();
        } else {
            EXPECT_TRUE(removal.Problems.isEmpty());
        }
        EXPECT_EQ(Read(list), c.changedTo.isEmpty() ? c.content : c.changedTo);
        EXPECT_EQ(Stat(list).st_ino, before.st_ino) << "the list was not replaced";
        EXPECT_EQ(QDir(root + QStringLiteral("/data")).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
}

TEST_F(RecentFilesTest, KdeLinksToTheVideoGoAndNothingElseInTheFolder) {
    const QString folder = root + QStringLiteral("/data/RecentDocuments");
    const QByteArray path = QFile::encodeName(video);
    const QByteArray home = qgetenv("HOME");
    ASSERT_EQ(::setenv("HOME", QFile::encodeName(root).constData(), 1), 0);
    const auto link = [](const QByteArray& url) {
        return "[Desktop Entry]\nIcon=video-mp4\nName=Film\nType=Link\n" + url +
               "\nX-KDE-LastOpenedWith=vlc\n";
    };
    const struct {
        const char* name;
        QByteArray content;
        bool goes;
    } files[] = {
        // KDE writes the home folder as $HOME and the rest as Qt prints a URL.
        {"Film; [1] & Zoë.mp4.desktop", link("URL[$e]=file:$HOME/real/Film; [1] & Zoë.mp4"), true},
        {"braces.desktop", link("URL[$e]=file://${HOME}/link/Film;%20[1]%20&%20Zo%C3%AB.mp4"), true},
        {"plain path.desktop", link("URL=" + path), true},
        {"glib.desktop", link("URL = " + rootUri + "/real/Film%3B%20%5B1%5D%20&%20Zo%C3%AB.mp4"), true},
        {"escaped blank.desktop", link("URL=" + QByteArray(path).replace(' ', "\\s")), true},
        {"other.desktop", link("URL[$e]=file:$HOME/real/other.mp4"), false},
        {"dollar.desktop", link("URL[$e]=file:$$HOME/real/Film; [1] & Zoë.mp4"), false},
        {"command.desktop", link("URL[$e]=$(echo " + path + ")"), false},
        {"another group.desktop",
         "[Other]\nURL=" + QFile::encodeName(video) + "\n[Desktop Entry]\nType=Link\n", false},
        {"notes.txt", link("URL=" + QFile::encodeName(video)), false},
    };
    for (const auto& file : files)
        Write(folder + QLatin1Char('/') + QString::fromUtf8(file.name), file.content);
    // A link in the folder that leads out of it, to a file that names the video: neither goes.
    const QString outside = root + QStringLiteral("/outside.desktop");
    Write(outside, link("URL=" + QFile::encodeName(video)));
    ASSERT_TRUE(QFile::link(outside, folder + QStringLiteral("/leads out.desktop")));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/a folder.desktop")));

    const auto removal = RemoveRecentDocuments({video}, folder);
    if (home.isNull()) {
        ::unsetenv("HOME");
    } else {
        ::setenv("HOME", home.constData(), 1);
    }
    EXPECT_TRUE(removal.Problems.isEmpty()) << removal.Problems.join('\n').toStdString();
    int going = 0;
    QStringList staying{QStringLiteral("a folder.desktop"), QStringLiteral("leads out.desktop")};
    for (const auto& file : files) {
        if (file.goes) {
            ++going;
        } else {
            staying << QString::fromUtf8(file.name);
            EXPECT_EQ(Read(folder + QLatin1Char('/') + QString::fromUtf8(file.name)), file.content)
                << file.name;
        }
    }
    EXPECT_EQ(removal.Removed, going);
    staying.sort();
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name),
              staying);
    EXPECT_TRUE(QFile::exists(outside));
}

}  // namespace
