#pragma once
// Each test gets its own data and runtime folders, so that logs, settings and instance locks of tests
// running side by side never meet.

#include <gtest/gtest.h>

#include <array>

#include <QByteArray>
#include <QDataStream>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QString>
#include <QStringList>

#include "support/TempDir.h"

namespace apptest {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

// The three integers of the first hand-over that reaches `server`: message, wParam, lParam.
inline std::array<qint32, 3> ReadHandOver(QLocalServer& server) {
    std::array<qint32, 3> message{-1, -1, -1};
    if (!server.waitForNewConnection(5000)) return message;
    QLocalSocket* socket = server.nextPendingConnection();
    while (socket->bytesAvailable() < 12 && socket->waitForReadyRead(2000)) {
    }
    QDataStream in(socket);
    in >> message[0] >> message[1] >> message[2];
    return message;
}

class FoldersTest : public ::testing::Test {
protected:
    testsupport::TempDir home;
    ScopedEnv dataHome{"XDG_DATA_HOME", QByteArray::fromStdString(home.file("data"))};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", QByteArray::fromStdString(home.path().string())};

    QString DataFolder() const { return QString::fromStdString(home.file("data")) + "/Brindlework/Velmora/"; }

    // The log's lines without their time stamps.
    static QStringList LogLines(const QString& path) {
        QFile file(path);
        QStringList lines;
        if (!file.open(QIODevice::ReadOnly)) return lines;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.isEmpty()) continue;
            const qsizetype gap = line.indexOf("  ");
            lines << QString::fromLocal8Bit(gap < 0 ? line : line.mid(gap + 2));
        }
        return lines;
    }
};

}  // namespace apptest
