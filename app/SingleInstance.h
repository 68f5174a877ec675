#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QLocalServer;

// One window per user and display: the first start listens on a local
// socket named for both; a later start hands its arguments to it and ends.

// The socket's name: the display ($WAYLAND_DISPLAY, else $DISPLAY) in the
// user's runtime folder, or with the user's id in the temporary folder.
QString InstanceName();

// Hands the arguments to the window already running; false when none
// answers (then this start becomes that window).
bool HandToRunningWindow(const QStringList &arguments);

// The running window's end: each list of arguments a later start hands
// over is given to OnArguments from the event loop, after the later start
// has been told it arrived.
class TInstanceServer : public QObject {
    Q_OBJECT
public:
    explicit TInstanceServer(QObject *parent = nullptr);
    // Starts listening; false when the name is taken by a window that
    // answers, or cannot be used.
    bool Listen();

    std::function<void(const QStringList &)> OnArguments;

private:
    void Accept();
    QLocalServer *FServer;
};
