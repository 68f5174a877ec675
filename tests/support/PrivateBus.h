#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

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
    // answers on the bus.
    bool StartKeyring(const QString &dataHome, const QByteArray &password);

private:
    QTemporaryDir FDir;
    QProcess FBus, FKeyring;
    QString FAddress;
    QByteArray FOldAddress;
};
