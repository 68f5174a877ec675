#include "ldap/SlapdProcess.h"

#include "platform/core/Exception.h"

#include <QFile>
#include <QThread>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

const char kSlapd[] = "/usr/sbin/slapd";

// A value in slapd.conf: quoted, with its quotes and backslashes escaped.
QByteArray Quoted(const QByteArray &value)
{
    QByteArray v = value;
    v.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + v + '"';
}

bool Accepts(const QString &listen)
{
    const QUrl url(listen);
    const QByteArray host = url.host().isEmpty() ? QByteArray("127.0.0.1") : url.host().toUtf8();
    const QByteArray port = QByteArray::number(url.port(url.scheme() == QLatin1String("ldaps") ? 636 : 389));
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.constData(), port.constData(), &hints, &found) != 0)
        return false;
    bool accepted = false;
    for (addrinfo *a = found; a && !accepted; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        accepted = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        ::close(fd);
    }
    freeaddrinfo(found);
    return accepted;
}

} // namespace

QByteArray SlapdConfig(const TSlapdSettings &s, const QString &folder)
{
    const QByteArray dir = QFile::encodeName(folder);
    QByteArray conf = "include /etc/ldap/schema/core.schema\n"
                      "include /etc/ldap/schema/cosine.schema\n"
                      "include /etc/ldap/schema/inetorgperson.schema\n"
                      "pidfile "
        + Quoted(dir + "/slapd.pid") + "\nargsfile " + Quoted(dir + "/slapd.args")
        + "\n"
          "modulepath /usr/lib/ldap\n"
          "moduleload back_sock\n";
    if (!s.CertFile.isEmpty())
        conf += "TLSCertificateFile " + Quoted(QFile::encodeName(s.CertFile)) + "\nTLSCertificateKeyFile "
            + Quoted(QFile::encodeName(s.KeyFile)) + '\n';
    if (s.BindOnly)
        conf += "disallow bind_anon\nrequire authc\n";
    conf += "database sock\nsuffix " + Quoted(s.Base) + "\nsocketpath " + Quoted(QFile::encodeName(s.SocketPath)) + '\n';
    return conf;
}

void TSlapdChild::Start(const TSlapdSettings &settings, const QString &folder)
{
    const QString confPath = folder + QStringLiteral("/slapd.conf");
    QFile conf(confPath);
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate) || !conf.setPermissions(QFile::ReadOwner | QFile::WriteOwner)
        || conf.write(SlapdConfig(settings, folder)) < 0)
        throw EFileError(QStringLiteral("%1 cannot be written: %2").arg(confPath, conf.errorString()));
    conf.close();
    const QByteArray listen = settings.Listen.toUtf8(), confName = QFile::encodeName(confPath);
    char *argv[] = {const_cast<char *>(kSlapd),
                    const_cast<char *>("-d"),
                    const_cast<char *>("0"),
                    const_cast<char *>("-h"),
                    const_cast<char *>(listen.constData()),
                    const_cast<char *>("-f"),
                    const_cast<char *>(confName.constData()),
                    nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int err = posix_spawn(&FPid, kSlapd, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (err != 0) {
        FPid = -1;
        throw EFileError(QStringLiteral("%1 cannot be started: %2").arg(QLatin1String(kSlapd), QString::fromLocal8Bit(std::strerror(err))));
    }
}

bool TSlapdChild::WaitUntilListening(const QString &listen, int waitMs)
{
    for (int waited = 0; waited <= waitMs; waited += 50) {
        if (!Running())
            return false;
        if (Accepts(listen))
            return true;
        QThread::msleep(50);
    }
    return false;
}

bool TSlapdChild::Running()
{
    if (FPid <= 0)
        return false;
    int status = 0;
    if (::waitpid(FPid, &status, WNOHANG) == FPid) {
        FPid = -1;
        return false;
    }
    return true;
}

void TSlapdChild::Stop()
{
    if (FPid <= 0)
        return;
    ::kill(FPid, SIGTERM);
    int status = 0;
    while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
    }
    FPid = -1;
}
