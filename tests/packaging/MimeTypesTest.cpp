// "Open with" offers the program for exactly the videos it takes: the desktop entry's and the AppStream
// data's types are the video types of the default extensions (by the system's MIME database), and folders.
#include <gtest/gtest.h>

#include <QFile>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSet>

#include "settings/KZVConfig.h"

namespace {

QString Read(const char* path) {
    QFile file(QString::fromUtf8(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    return QString::fromUtf8(file.readAll());
}

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

TEST(MimeTypes, TheDesktopEntryAndAppStreamNameTheVideoTypesOfTheDefaultExtensionsAndFolders) {
    QSet<QString> expected{QStringLiteral("inode/directory")};
    const QMimeDatabase database;
    for (const QByteArray& extension : settings::DefaultVideoExts().split(';')) {
        if (extension.isEmpty()) continue;
        for (const QMimeType& type :
             database.mimeTypesForFileName(QStringLiteral("x") + QString::fromLatin1(extension)))
            if (type.name().startsWith(QLatin1String("video/"))) expected << type.name();
    }
    ASSERT_GE(expected.size(), 10) << "the system's MIME database knows the common video types";

    const QString desktop = Read(VELMORA_DESKTOP_ENTRY);
    const QRegularExpressionMatch line =
        QRegularExpression(QStringLiteral("^MimeType=(.*)$"), QRegularExpression::MultilineOption)
            .match(desktop);
    ASSERT_TRUE(line.hasMatch());
    const QStringList declared = line.captured(1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    EXPECT_EQ(Sorted(declared), Sorted(expected.values()));
    EXPECT_TRUE(desktop.contains(QStringLiteral("\nExec=velmora %F\n")))
        << "files and folders reach the program";

    QStringList provided;
    const QString metainfo = Read(VELMORA_METAINFO);
    auto types = QRegularExpression(QStringLiteral("<mediatype>([^<]+)</mediatype>")).globalMatch(metainfo);
    while (types.hasNext()) provided << types.next().captured(1);
    EXPECT_EQ(Sorted(provided), Sorted(declared));
}

}  // namespace
