// serve-ldap: the contacts answer LDAP searches, through slapd's back-sock.
#include "tools/Command.h"

#include "contacts/ContactsDatabase.h"
#include "ldap/BackSock.h"
#include "ldap/DirectorySearch.h"
#include "ldap/SlapdProcess.h"
#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "sync/Credentials.h"
#include "sync/SyncAccount.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <csignal>
#include <memory>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

const char kHelp[] =
    "usage: velmora-rehber-db serve-ldap [DATABASE|SERVER] --listen URL [--base DN]\n"
    "                                    [--cert FILE --key FILE] [--bind-dn DN]\n"
    "       velmora-rehber-db serve-ldap [DATABASE|SERVER] --socket PATH [--base DN]\n"
    "\n"
    "Serves the contacts database (default: fihrist.mdb) as an LDAP directory\n"
    "for desk phones and mail programs, read-only and live: each contact is an\n"
    "inetOrgPerson entry uid=KEY below the base (default ou=rehber,dc=velmora).\n"
    "With --listen, the OpenLDAP server slapd is started with a configuration of\n"
    "its own and speaks LDAP at URL (ldap://HOST:PORT, or ldaps:// with --cert\n"
    "and --key); with --socket, an office's own slapd asks through its back-sock\n"
    "database at PATH. Runs until SIGTERM or SIGINT.\n"
    "\n"
    "  --listen URL     where slapd listens\n"
    "  --base DN        the directory's base\n"
    "  --socket PATH    answers an existing slapd's back-sock database at PATH\n"
    "  --cert FILE      the server's certificate, for ldaps://\n"
    "  --key FILE       its private key\n"
    "  --bind-dn DN     only a simple bind as DN (below the base) may search; its\n"
    "                   password comes from the desktop keyring or ~/.netrc\n"
    "                   (machine HOST login DN password ...)\n"
    "  -h, --help       this text\n";

const QCommandLineOption kListen(QStringLiteral("listen"), QString(), QStringLiteral("URL"));
const QCommandLineOption kBase(QStringLiteral("base"), QString(), QStringLiteral("DN"), QStringLiteral("ou=rehber,dc=velmora"));
const QCommandLineOption kSocket(QStringLiteral("socket"), QString(), QStringLiteral("PATH"));
const QCommandLineOption kCert(QStringLiteral("cert"), QString(), QStringLiteral("FILE"));
const QCommandLineOption kKey(QStringLiteral("key"), QString(), QStringLiteral("FILE"));
const QCommandLineOption kBindDn(QStringLiteral("bind-dn"), QString(), QStringLiteral("DN"));

QList<QCommandLineOption> Options()
{
    return {kListen, kBase, kSocket, kCert, kKey, kBindDn};
}

// SIGTERM and SIGINT, held back and read from a descriptor.
int StopSignals()
{
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    return signalfd(-1, &stop, SFD_CLOEXEC);
}

int Run(const QCommandLineParser &parser)
{
    const bool listen = parser.isSet(kListen), ownSocket = parser.isSet(kSocket);
    if (listen == ownSocket)
        return UsageError(ServeLdapCommand, QStringLiteral("give either --listen or --socket"));
    const QUrl url(parser.value(kListen));
    const bool secure = url.scheme() == QLatin1String("ldaps");
    if (listen && ((url.scheme() != QLatin1String("ldap") && !secure) || url.host().isEmpty()))
        return UsageError(ServeLdapCommand, QStringLiteral("--listen takes ldap://HOST:PORT or ldaps://HOST:PORT"));
    if (secure != (parser.isSet(kCert) && parser.isSet(kKey)))
        return UsageError(ServeLdapCommand, QStringLiteral("ldaps:// goes with --cert and --key, and they only with it"));
    const QByteArray base = NormalDn(parser.value(kBase).toUtf8());
    if (base.isEmpty() || !base.contains('='))
        return UsageError(ServeLdapCommand, QStringLiteral("--base takes a DN such as ou=rehber,dc=velmora"));

    TDirectoryService service;
    service.Base = base;
    TSlapdSettings settings;
    settings.Listen = parser.value(kListen);
    settings.Base = base;
    // slapd reads them from its own working folder: named in full.
    if (secure) {
        settings.CertFile = QFileInfo(parser.value(kCert)).absoluteFilePath();
        settings.KeyFile = QFileInfo(parser.value(kKey)).absoluteFilePath();
    }
    if (parser.isSet(kBindDn) && !NormalDn(parser.value(kBindDn).toUtf8()).endsWith(',' + base))
        return UsageError(ServeLdapCommand,
                          QStringLiteral("--bind-dn takes a DN below the base, such as cn=telefon,%1").arg(QString::fromUtf8(base)));
    if (parser.isSet(kBindDn)) {
        TSyncAccount account;
        account.Url = settings.Listen;
        account.User = parser.value(kBindDn);
        const std::optional<QString> password = LookupPassword(account);
        if (!password || password->isEmpty())
            return Fail(QStringLiteral("no password for %1 at %2: none in the keyring or ~/.netrc").arg(account.User, account.Host()));
        settings.BindOnly = true;
        service.BindDn = NormalDn(account.User.toUtf8());
        service.Password = password->toUtf8();
    }

    // Opened once here so that a database that cannot be opened ends the
    // command at once; each answering thread opens its own.
    const QString database = parser.positionalArguments().value(0, QStringLiteral("fihrist.mdb"));
    const TConnectionOpener open = [database](TADOConnection &connection) { OpenContactsDatabase(connection, database); };
    {
        TADOConnection first;
        open(first);
    }
    const int stopFd = StopSignals();
    if (ownSocket) {
        const QString path = parser.value(kSocket);
        ServeBackSock(path, open, service, stopFd, [&] { Say(QStringLiteral("answering %1 at %2").arg(QString::fromUtf8(base), path)); },
                      {});
        return ExitDone;
    }

    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/velmora-ldap-XXXXXX"));
    if (!folder.isValid())
        return Fail(QStringLiteral("no private folder for slapd: %1").arg(folder.errorString()));
    settings.SocketPath = folder.filePath(QStringLiteral("answer.sock"));
    TSlapdChild slapd;
    bool slapdEnded = false;
    // slapd starts once the socket its database asks through is there.
    ServeBackSock(
        settings.SocketPath, open, service, stopFd,
        [&] {
            slapd.Start(settings, folder.path());
            if (!slapd.WaitUntilListening(settings.Listen, 30000))
                throw EFileError(QStringLiteral("slapd does not listen at %1 (its messages are above)").arg(settings.Listen));
            Say(QStringLiteral("serving %1 at %2").arg(QString::fromUtf8(base), settings.Listen));
        },
        [&] {
            slapdEnded = !slapd.Running();
            return !slapdEnded;
        });
    if (slapdEnded)
        return Fail(QStringLiteral("slapd ended; the directory is no longer served"));
    slapd.Stop();
    return ExitDone;
}

} // namespace

const TCommand ServeLdapCommand = {
    "serve-ldap", "[DATABASE|SERVER] --listen URL|--socket PATH [--base DN] [--cert FILE --key FILE] [--bind-dn DN]", kHelp, 0, 1, Options,
    Run};
