// The desktop's thumbnail cache: which pictures belong to a file, found the way file managers file them,
// and that nothing else in the cache goes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <filesystem>

#include "platform/Thumbnails.h"
#include "support/TempDir.h"
#include "support/ThumbnailCache.h"

namespace {

using platform::RemoveThumbnails;
using platform::TThumbnails;
using testsupport::TThumbnailCache;

class ThumbnailsTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    TThumbnailCache cache{QString::fromStdString(dir.file("cache/thumbnails"))};
    // The scratch folder's own name needs no escaping: the tests spell out the rest by hand.
    QByteArray root = QByteArray("file://") + QByteArray::fromStdString(dir.path().string());

    QString Video(const QString& relative) const {
        const QString path = QString::fromStdString(dir.path().string()) + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }
};

TEST_F(ThumbnailsTest, EverySizeAndEveryProgramsFailureNoteOfTheFileGoesAndNothingElse) {
    ASSERT_EQ(QString::fromUtf8(root).toLatin1().toPercentEncoding("/:"), root) << "a plain scratch folder";
    const QString video = Video(QStringLiteral("My Film #1 (Zoë, 東京).mp4"));
    // As GLib spells it (GNOME, Xfce, players): blanks, "#" and every non-ASCII byte escaped, "(),"
    // kept; and as Qt spells it (KDE), which keeps the same here.
    const QByteArray uri = root + "/My%20Film%20%231%20(Zo%C3%AB,%20%E6%9D%B1%E4%BA%AC).mp4";
    QStringList written;
    for (const char* folder :
         {"normal", "large", "x-large", "xx-large", "fail/gnome-thumbnail-factory", "fail/tumbler-extra"})
        written << cache.Write(QLatin1String(folder), uri, 1'700'000'000);
    const QStringList others{
        cache.Write(QStringLiteral("fail/gnome-thumbnail-factory"), root + "/Other.mp4", 1),
        cache.Write(QStringLiteral("normal"), root + "/Other.mp4", 1)};  // sorted

    const auto removal = RemoveThumbnails(video, TThumbnails::All, cache.Folder());
    EXPECT_EQ(removal.Removed, written.size());
    EXPECT_TRUE(removal.Problems.isEmpty()) << removal.Problems.join('\n').toStdString();
    EXPECT_EQ(cache.Pictures(), others);

    // Restoring takes only the failure notes, so that file managers try again.
    written = QStringList{cache.Write(QStringLiteral("normal"), uri, 1),
                          cache.Write(QStringLiteral("fail/gnome-thumbnail-factory"), uri, 1)};
    RemoveThumbnails(video, TThumbnails::Failures, cache.Folder());
    EXPECT_TRUE(cache.Pictures().contains(written[0]));
    EXPECT_FALSE(cache.Pictures().contains(written[1]));
}

TEST_F(ThumbnailsTest, ThePicturesOfEverySpellingAndOfTheLinkedAndTheRealPathGo) {
    Video(QStringLiteral("real/a;b[c]&d=e+f@g$h'i!j~k.mp4"));
    std::filesystem::create_directory_symlink(dir.file("real"), dir.file("link"));
    const QStringList pictures{
        // GLib escapes ";" and the brackets; Qt keeps them.
        cache.Write(QStringLiteral("normal"), root + "/real/a%3Bb%5Bc%5D&d=e+f@g$h'i!j~k.mp4", 1),
        cache.Write(QStringLiteral("large"), root + "/real/a;b[c]&d=e+f@g$h'i!j~k.mp4", 1),
        // File managers that name the file by the folder the user opened, and those that resolve links.
        cache.Write(QStringLiteral("x-large"), root + "/link/a%3Bb%5Bc%5D&d=e+f@g$h'i!j~k.mp4", 1),
    };
    const QString throughLink =
        QString::fromStdString(dir.file("link")) + QStringLiteral("/a;b[c]&d=e+f@g$h'i!j~k.mp4");
    ASSERT_TRUE(QFile::exists(throughLink));

    const auto removal = RemoveThumbnails(throughLink, TThumbnails::All, cache.Folder());
    EXPECT_EQ(removal.Removed, pictures.size());
    EXPECT_TRUE(cache.Pictures().isEmpty()) << cache.Pictures().join(' ').toStdString();
}

TEST_F(ThumbnailsTest, APictureThatCannotBeRemovedIsReportedAndTheRestStillGo) {
    const QString video = Video(QStringLiteral("clip.mkv"));
    const QByteArray uri = root + "/clip.mkv";
    const QString stuck = cache.Folder() + QLatin1Char('/') + cache.Write(QStringLiteral("normal"), uri, 1);
    cache.Write(QStringLiteral("large"), uri, 1);
    // Something no one can unlink, not even root: a folder where the picture was.
    ASSERT_TRUE(QFile::remove(stuck));
    ASSERT_TRUE(QDir().mkpath(stuck + QStringLiteral("/inside")));

    const auto removal = RemoveThumbnails(video, TThumbnails::All, cache.Folder());
    EXPECT_EQ(removal.Removed, 1);
    ASSERT_EQ(removal.Problems.size(), 1);
    EXPECT_TRUE(removal.Problems[0].startsWith(stuck + QStringLiteral(": ")))
        << removal.Problems[0].toStdString();
    EXPECT_TRUE(cache.Pictures().isEmpty());
}

TEST_F(ThumbnailsTest, NoCacheAtAllIsNoProblem) {
    const auto removal = RemoveThumbnails(Video(QStringLiteral("clip.mkv")), TThumbnails::All,
                                          QString::fromStdString(dir.file("no/cache")));
    EXPECT_EQ(removal.Removed, 0);
    EXPECT_TRUE(removal.Problems.isEmpty());
}

}  // namespace
