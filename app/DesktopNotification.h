#pragma once

#include <QObject>
#include <QString>
#include <functional>

// A notification on the desktop (org.freedesktop.Notifications on the
// session bus): each Show replaces the one shown before; activating it
// (its "default" action) calls OnActivated. Without a session bus or a
// notification server nothing is shown and nothing fails.
class TDesktopNotification : public QObject {
    Q_OBJECT
public:
    explicit TDesktopNotification(QObject *parent = nullptr);

    void Show(const QString &summary, const QString &body);

    std::function<void()> OnActivated;

private Q_SLOTS:
    void ActionInvoked(uint id, const QString &action);
    void NotificationClosed(uint id, uint reason);

private:
    bool FConnected = false;
    uint FId = 0;
    quint64 FShown = 0; // Show calls so far, so that a late reply is not taken for a newer one
};
