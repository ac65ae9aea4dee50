#pragma once
// The desktop's notification server (org.freedesktop.Notifications on the session bus), through Qt's
// D-Bus module. One notifier keeps one notification on screen and replaces it in place; every call
// waits a few seconds at most, so a missing or stuck server never holds the caller up.

#include <QDBusPendingCall>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

struct TNotification {
    QString Summary;
    QString Body;  // plain text: the notifier escapes it where the server reads markup
    std::vector<std::pair<QString, QString>> Actions;  // key and caption, where the server offers them
    int Percent = -1;                                  // 0–100 shows a progress bar where supported
    std::int32_t TimeoutMs = -1;                       // -1: the server's choice; 0: until closed
};

class TDesktopNotifier : public QObject {
    Q_OBJECT
public:
    // `appName` and `iconName` go with every notification; `desktopEntry` names the program's desktop
    // file (without ".desktop"), by which a desktop groups and themes its notifications.
    TDesktopNotifier(QString appName, QString iconName, QString desktopEntry, QObject* parent = nullptr);

    // Asks the server what it can do, without waiting for the answer.
    void Ask();
    // Waits for that answer (asking first if not yet asked). False, with Problem() saying why, when
    // there is no session bus or no server answers in time; the notifier then shows nothing.
    bool WaitForServer();
    // The server answered and can be used; false while its answer is still on the way.
    bool Connected();
    const QString& Problem() const noexcept { return problem_; }
    // "actions", "body", "body-markup", "persistence", … as the server named them.
    bool Offers(const QString& capability) const { return capabilities_.contains(capability); }

    // Shows `notification` in place of the one shown before, and waits for the server's answer. False
    // (with Problem()) when the server did not take it.
    bool Show(const TNotification& notification);
    // The same without waiting: for updates that may be lost, such as a progress notification's.
    void Update(const TNotification& notification);
    // Closes the one on screen.
    void Close();
    bool Shown() const noexcept { return id_ != 0; }

    static constexpr int kCallTimeoutMs = 3000;

signals:
    // The user chose the action `key` on the notification on screen.
    void ActionInvoked(const QString& key);
    // The notification on screen went away (expired, dismissed, or closed by the server).
    void Closed();

private slots:
    void onActionInvoked(uint id, const QString& key);
    void onNotificationClosed(uint id, uint reason);

private:
    QList<QVariant> notifyArguments(const TNotification& notification) const;
    void takeAnswer();

    std::optional<QDBusPendingCall> asked_;
    bool answered_ = false;

    QString appName_;
    QString iconName_;
    QString desktopEntry_;
    QStringList capabilities_;
    QString problem_;
    bool connected_ = false;
    std::uint32_t id_ = 0;
};

}  // namespace platform
