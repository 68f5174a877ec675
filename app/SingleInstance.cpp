#include "app/SingleInstance.h"

#include <QDataStream>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <unistd.h>

namespace {

// How long a later start waits for the running window to take its
// arguments; a window that does not answer in this time is not running.
constexpr int HandOverMs = 5000;
// Arguments larger than this are not arguments.
constexpr qint64 MaxMessage = 1 << 20;

} // namespace

QString InstanceName()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    QString safe;
    for (const QChar c : display)
        safe += c.isLetterOrNumber() && c.unicode() < 128 ? c : u'_';
    // In the user's own runtime folder when there is one, where no other
    // user can put a socket of that name first.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/velmora-rehber-%1").arg(safe);
    return QStringLiteral("velmora-rehber-%1-%2").arg(::getuid()).arg(safe);
}

bool HandToRunningWindow(const QStringList &arguments)
{
    QLocalSocket socket;
    socket.connectToServer(InstanceName());
    if (!socket.waitForConnected(HandOverMs))
        return false;
    QByteArray message;
    {
        QDataStream list(&message, QIODevice::WriteOnly);
        list << arguments;
    }
    QDataStream out(&socket);
    out << message;
    if (!socket.waitForBytesWritten(HandOverMs))
        return false;
    // The window answers one byte once it holds the arguments.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(HandOverMs))
            return false;
    }
    return true;
}

TInstanceServer::TInstanceServer(QObject *parent) : QObject(parent), FServer(new QLocalServer(this))
{
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer, &QLocalServer::newConnection, this, &TInstanceServer::Accept);
}

bool TInstanceServer::Listen()
{
    const QString name = InstanceName();
    if (FServer->listen(name))
        return true;
    if (FServer->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // A socket left by a window that ended without removing it: nothing
    // answers there any more.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(1000))
        return false;
    QLocalServer::removeServer(name);
    return FServer->listen(name);
}

void TInstanceServer::Accept()
{
    while (QLocalSocket *socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A start that connects and then says nothing is dropped.
        QTimer::singleShot(HandOverMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > MaxMessage + 8) {
                socket->abort();
                return;
            }
            QDataStream in(socket);
            in.startTransaction();
            QByteArray message;
            in >> message;
            if (!in.commitTransaction())
                return;
            QStringList arguments;
            QDataStream list(message);
            list >> arguments;
            socket->write("1");
            socket->flush();
            QTimer::singleShot(0, this, [this, arguments] {
                if (OnArguments)
                    OnArguments(arguments);
            });
        });
    }
}
