#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

// org.freedesktop.Notifications of the test's own: what was shown.
class TNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList Summaries, Bodies;
public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body, const QStringList &,
                const QVariantMap &, int);
};

// A D-Bus session bus of the test's own, on a socket in a temporary
// folder, with no services to start on demand (the desktop's keyring or
// notification server answer only when the test starts them).
// DBUS_SESSION_BUS_ADDRESS points at it while the object lives.
class TPrivateBus {
public:
    TPrivateBus();
    ~TPrivateBus();
    bool IsValid() const { return !FAddress.isEmpty(); }
    QString Address() const { return FAddress; }

    // Starts gnome-keyring-daemon's Secret Service on the bus with a login
    // keyring unlocked by password, its files under dataHome; true once it
    // answers on the bus. An empty password: no login keyring at all, so
    // that the service refuses to store anything.
    bool StartKeyring(const QString &dataHome, const QByteArray &password);
    // Puts server on the bus as the desktop's notification server, on a
    // connection named "notifications"; true when it took the name.
    bool ServeNotifications(TNotificationServer *server);

private:
    QTemporaryDir FDir;
    QProcess FBus, FKeyring;
    QString FAddress;
    QByteArray FOldAddress;
};
