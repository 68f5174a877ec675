#include "app/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

TDesktopNotification::TDesktopNotification(QObject *parent) : QObject(parent) {}

void TDesktopNotification::Show(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (!FConnected) {
        bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this, SLOT(ActionInvoked(uint, QString)));
        bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this, SLOT(NotificationClosed(uint, uint)));
        FConnected = true;
    }
    QDBusMessage notify = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("velmora-rehber"));
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(2)));
    notify << QStringLiteral("Velmora Telefon Rehberi") << FId << QStringLiteral("velmora-rehber") << summary << body
           << QStringList{QStringLiteral("default"), QStringLiteral("Göster")} << hints << int(-1);
    // Asked without waiting: the window never stands still for the desktop.
    const quint64 shown = ++FShown;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, shown](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        if (!reply.isError() && shown == FShown)
            FId = reply.value();
        w->deleteLater();
    });
}

void TDesktopNotification::ActionInvoked(uint id, const QString &action)
{
    if (id == FId && FId != 0 && action == u"default" && OnActivated)
        OnActivated();
}

void TDesktopNotification::NotificationClosed(uint id, uint)
{
    if (id == FId)
        FId = 0;
}
