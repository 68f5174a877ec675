#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QTest>

TPrivateBus::TPrivateBus() : FOldAddress(qgetenv("DBUS_SESSION_BUS_ADDRESS"))
{
    const QString config = FDir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                              "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>\n"
                              "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                              "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                   .arg(FDir.path())
                   .toUtf8());
    file.close();
    FBus.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!FBus.waitForStarted() || !FBus.waitForReadyRead(10000))
        return;
    FAddress = QString::fromUtf8(FBus.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", FAddress.toUtf8());
}

TPrivateBus::~TPrivateBus()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("notifications"));
    for (QProcess *p : {&FKeyring, &FBus}) {
        if (p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(10000))
                p->kill();
            p->waitForFinished();
        }
    }
    if (FOldAddress.isEmpty())
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        qputenv("DBUS_SESSION_BUS_ADDRESS", FOldAddress);
}

bool TPrivateBus::StartKeyring(const QString &dataHome, const QByteArray &password)
{
    QDir().mkpath(FDir.filePath(QStringLiteral("run")));
    QFile::setPermissions(FDir.filePath(QStringLiteral("run")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), FDir.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FAddress);
    FKeyring.setProcessEnvironment(env);
    FKeyring.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{QStringLiteral("--foreground"), QStringLiteral("--components=secrets")};
    if (!password.isEmpty())
        arguments << QStringLiteral("--unlock");
    FKeyring.start(QStringLiteral("gnome-keyring-daemon"), arguments);
    if (!FKeyring.waitForStarted())
        return false;
    FKeyring.write(password);
    FKeyring.closeWriteChannel();
    QDBusConnection bus = QDBusConnection::connectToBus(FAddress, QStringLiteral("keyring-watch"));
    const auto registered = [&bus] { return bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value(); };
    for (int i = 0; i < 200 && !registered() && FKeyring.state() == QProcess::Running; ++i)
        QTest::qWait(50);
    const bool answered = registered();
    QDBusConnection::disconnectFromBus(QStringLiteral("keyring-watch"));
    return answered;
}

uint TNotificationServer::Notify(const QString &, uint, const QString &, const QString &summary, const QString &body, const QStringList &,
                                 const QVariantMap &, int)
{
    Summaries << summary;
    Bodies << body;
    return uint(Summaries.size());
}

bool TPrivateBus::ServeNotifications(TNotificationServer *server)
{
    QDBusConnection bus = QDBusConnection::connectToBus(FAddress, QStringLiteral("notifications"));
    return bus.registerService(QStringLiteral("org.freedesktop.Notifications"))
        && bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), server, QDBusConnection::ExportAllSlots);
}
