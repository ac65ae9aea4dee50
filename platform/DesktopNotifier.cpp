#include "platform/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

#include <algorithm>

namespace platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

QDBusMessage Call(const QString& method, const QList<QVariant>& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    return message;
}

}  // namespace

TDesktopNotifier::TDesktopNotifier(QString appName, QString iconName, QString desktopEntry, QObject* parent)
    : QObject(parent),
      appName_(std::move(appName)),
      iconName_(std::move(iconName)),
      desktopEntry_(std::move(desktopEntry)) {}

void TDesktopNotifier::Ask() {
    if (asked_ || answered_) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        problem_ = QStringLiteral("no session bus (") + bus.lastError().message() + QLatin1Char(')');
        answered_ = true;
        return;
    }
    asked_ = bus.asyncCall(Call(QStringLiteral("GetCapabilities")), kCallTimeoutMs);
}

void TDesktopNotifier::takeAnswer() {
    answered_ = true;
    const QDBusMessage reply = asked_->reply();
    asked_.reset();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        problem_ =
            QStringLiteral("no notification server answers (") + reply.errorMessage() + QLatin1Char(')');
        return;
    }
    capabilities_ = reply.arguments().constFirst().toStringList();
    // Signals come from the server's unique name; Qt matches them to the well-known one.
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(onActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(onNotificationClosed(uint, uint)));
    connected_ = true;
}

bool TDesktopNotifier::WaitForServer() {
    Ask();
    if (!answered_) {
        asked_->waitForFinished();  // no longer than the call's own timeout
        takeAnswer();
    }
    return connected_;
}

bool TDesktopNotifier::Connected() {
    if (!answered_ && asked_ && asked_->isFinished()) takeAnswer();
    return connected_;
}

QList<QVariant> TDesktopNotifier::notifyArguments(const TNotification& notification) const {
    QStringList actions;
    if (Offers(QStringLiteral("actions")))
        for (const auto& [key, caption] : notification.Actions) actions << key << caption;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), desktopEntry_);
    if (notification.Percent >= 0) hints.insert(QStringLiteral("value"), std::min(notification.Percent, 100));
    const QString body =
        Offers(QStringLiteral("body-markup")) ? notification.Body.toHtmlEscaped() : notification.Body;
    return {appName_, uint(id_), iconName_, notification.Summary,
            body,     actions,   hints,     qint32(notification.TimeoutMs)};
}

bool TDesktopNotifier::Show(const TNotification& notification) {
    if (!WaitForServer()) return false;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        Call(QStringLiteral("Notify"), notifyArguments(notification)), QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        problem_ = QStringLiteral("the notification server did not take the notification (") +
                   reply.errorMessage() + QLatin1Char(')');
        return false;
    }
    id_ = reply.arguments().constFirst().toUInt();
    return true;
}

void TDesktopNotifier::Update(const TNotification& notification) {
    if (!Connected()) return;
    if (id_ == 0) {
        Show(notification);  // the id is needed to replace it later
        return;
    }
    QDBusConnection::sessionBus().send(Call(QStringLiteral("Notify"), notifyArguments(notification)));
}

void TDesktopNotifier::Close() {
    if (!connected_ || id_ == 0) return;
    QDBusConnection::sessionBus().send(Call(QStringLiteral("CloseNotification"), {uint(id_)}));
    id_ = 0;
}

void TDesktopNotifier::onActionInvoked(uint id, const QString& key) {
    if (id != 0 && id == id_) emit ActionInvoked(key);
}

void TDesktopNotifier::onNotificationClosed(uint id, uint /*reason*/) {
    if (id == 0 || id != id_) return;
    id_ = 0;
    emit Closed();
}

}  // namespace platform
