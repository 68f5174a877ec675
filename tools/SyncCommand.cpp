// sync: the contacts database kept in step with a CardDAV address book.
#include "tools/Command.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "contacts/ContactsDatabase.h"
#include "sync/AccountSync.h"
#include "sync/Credentials.h"
#include "sync/SyncAccount.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>
#include <malloc.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char kHelp[] =
    "usage: velmora-rehber-db sync [DATABASE|SERVER] [--url URL] [--user NAME] [--dry-run]\n"
    "                              [--allow-mass-delete] [--trust-fingerprint SHA256]\n"
    "\n"
    "Keeps the contacts database (default: the data source of Veri.ini, or\n"
    "fihrist.mdb) in step with a CardDAV address book, both ways, and prints\n"
    "what it did and each conflict with both values. The account is the one\n"
    "the window uses; --url and --user change it and are remembered. The\n"
    "password comes from the desktop keyring, then ~/.netrc, then a prompt\n"
    "when standard input is a terminal; never from the command line.\n"
    "\n"
    "  --url URL                   the server, the user's principal or the address book\n"
    "  --user NAME                 the user name on the server\n"
    "  --dry-run                   says what a sync would do, changes nothing\n"
    "  --allow-mass-delete         lets a sync delete more than half of either side\n"
    "  --trust-fingerprint SHA256  accepts the server's certificate with that SHA-256\n"
    "  -h, --help                  this text\n";

const QCommandLineOption kUrl(QStringLiteral("url"), QString(), QStringLiteral("URL"));
const QCommandLineOption kUser(QStringLiteral("user"), QString(), QStringLiteral("NAME"));
const QCommandLineOption kDryRun(QStringLiteral("dry-run"));
const QCommandLineOption kMassDelete(QStringLiteral("allow-mass-delete"));
const QCommandLineOption kFingerprint(QStringLiteral("trust-fingerprint"), QString(), QStringLiteral("SHA256"));

QList<QCommandLineOption> Options()
{
    return {kUrl, kUser, kDryRun, kMassDelete, kFingerprint};
}

QString Prompt(const TSyncAccount &account)
{
    std::fprintf(stderr, "Password for %s at %s: ", qPrintable(account.User), qPrintable(account.Host()));
    std::fflush(stderr);
    termios old{};
    const bool terminal = tcgetattr(STDIN_FILENO, &old) == 0;
    if (terminal) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    char line[1024];
    const bool got = std::fgets(line, sizeof line, stdin) != nullptr;
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fputc('\n', stderr);
    if (!got)
        return QString();
    QString password = QString::fromLocal8Bit(line);
    while (password.endsWith(u'\n') || password.endsWith(u'\r'))
        password.chop(1);
    return password;
}

QString SyncErrorText(const TSyncError &e)
{
    switch (e.Kind) {
    case TSyncFailure::None: return QString();
    case TSyncFailure::Cancelled: return QStringLiteral("the sync was stopped; what was done is kept");
    case TSyncFailure::Unauthorized: return QStringLiteral("the server refused the user name or password");
    case TSyncFailure::NotCardDav: return QStringLiteral("%1 is not a CardDAV server").arg(e.Url);
    case TSyncFailure::NoAddressBook: return QStringLiteral("no address book found at %1").arg(e.Url);
    case TSyncFailure::Certificate:
        return QStringLiteral(
                   "the server's certificate is not trusted (SHA-256 %1); if it is the right one, "
                   "sync again with --trust-fingerprint %1")
            .arg(e.Fingerprint);
    case TSyncFailure::InsecureHttp:
        return QStringLiteral("%1 uses plain http: the password is sent only over https (plain http only to this computer)").arg(e.Url);
    case TSyncFailure::ForeignRedirect:
        return QStringLiteral("the server sends the sync on to another host, %1; the password is not sent there").arg(e.RedirectHost);
    case TSyncFailure::Timeout: return QStringLiteral("the server stopped answering (%1)").arg(e.Url);
    case TSyncFailure::Network: return QStringLiteral("the server cannot be reached: %1").arg(e.ServerText);
    case TSyncFailure::BadReply: return QStringLiteral("the server's reply cannot be read (%1): %2").arg(e.Url, e.ServerText);
    case TSyncFailure::ReplyTooLarge: return QStringLiteral("the server's reply is too large (%1)").arg(e.Url);
    case TSyncFailure::HrefOutside: return QStringLiteral("the server named a card outside the address book: %1").arg(e.Url);
    case TSyncFailure::OtherAddressBook:
        return QStringLiteral("this database is kept in step with the address book %1, not %2").arg(e.LinkedBook, e.Url);
    case TSyncFailure::SeveralBooks:
        return QStringLiteral("%1 has several address books; name one with --url: %2").arg(e.Url, e.Books.join(QStringLiteral(", ")));
    case TSyncFailure::Busy: return QStringLiteral("another sync of this database is running; try again later");
    case TSyncFailure::MassDelete:
        return QStringLiteral("%1 contacts would be deleted; nothing was changed (--allow-mass-delete lets it go ahead)")
            .arg(e.MassDeleteCount);
    case TSyncFailure::Database: return QStringLiteral("the database: %1").arg(e.ServerText);
    case TSyncFailure::ServerError:
        return QStringLiteral("the server answered %1 (%2)%3")
            .arg(e.HttpStatus)
            .arg(e.Url, e.ServerText.isEmpty() ? QString() : QStringLiteral(": ") + e.ServerText);
    }
    return QString();
}

const char *ConflictWords(TSyncConflict::Kind kind)
{
    switch (kind) {
    case TSyncConflict::Kind::SameColumn: return "changed on both sides";
    case TSyncConflict::Kind::DeletedHereChangedThere: return "deleted here, changed on the server; kept";
    case TSyncConflict::Kind::ChangedHereDeletedThere: return "changed here, deleted on the server; kept";
    }
    return "";
}

int Run(const QCommandLineParser &parser)
{
    // One heap for every thread: the keyring's D-Bus thread and the network
    // thread would each get an arena of their own, held for the whole sync.
    mallopt(M_ARENA_MAX, 1);
    const QString database = parser.positionalArguments().value(0, QStringLiteral("fihrist.mdb"));
    TSyncAccount account = LoadSyncAccount();
    if (parser.isSet(kUrl) && parser.value(kUrl) != account.Url) {
        account.Url = parser.value(kUrl);
        account.AddressBook.clear();
    }
    if (parser.isSet(kUser))
        account.User = parser.value(kUser);
    if (parser.isSet(kFingerprint))
        account.TrustedFingerprint = parser.value(kFingerprint).remove(u':').toLower();
    if (!account.IsSet())
        return UsageError(SyncCommand, QStringLiteral("no account: name the address book with --url"));
    if (parser.isSet(kUrl) || parser.isSet(kUser) || parser.isSet(kFingerprint))
        SaveSyncAccount(account);

    int argc = 1;
    char name[] = "velmora-rehber-db";
    char *argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);

    TADOConnection connection;
    OpenContactsDatabase(connection, database);
    TSyncOptions options;
    options.DryRun = parser.isSet(kDryRun);
    options.AllowMassDelete = parser.isSet(kMassDelete);
    // The keyring, ~/.netrc, then the terminal once; a refused password is not asked again.
    TAccountSyncHooks hooks;
    hooks.Password = [&account](bool wrong) -> std::optional<QString> {
        if (wrong)
            return std::nullopt;
        if (std::optional<QString> password = LookupPassword(account))
            return password;
        if (isatty(STDIN_FILENO))
            return Prompt(account);
        return std::nullopt;
    };
    TAccountSync sync(connection, account, hooks, options);
    QEventLoop loop;
    QObject::connect(&sync, &TAccountSync::Finished, &loop, &QEventLoop::quit);
    QObject::connect(
        &sync, &TAccountSync::MassDeleteAsked, &sync, [&sync] { sync.ConfirmMassDelete(false); }, Qt::QueuedConnection);
    sync.Start();
    loop.exec();

    const TAccountSyncOutcome &outcome = sync.Outcome();
    if (outcome.NoPassword)
        return Fail(QStringLiteral("no password for %1 at %2: none in the keyring or ~/.netrc, and no terminal to ask on")
                        .arg(account.User, account.Host()));
    if (outcome.AccountError)
        std::rethrow_exception(outcome.AccountError);
    const TSyncResult &result = outcome.Result;
    for (const TCardProblem &p : result.Problems) {
        if (p.What == TCardProblem::Kind::Unparsable)
            Say(QStringLiteral("card %1: cannot be read; left as it is on the server").arg(p.Href));
        else if (p.What == TCardProblem::Kind::NotTaken)
            Say(QStringLiteral("card %1: %2 is too long for the column; left out here, whole on the server").arg(p.Href, p.Column));
        else
            Say(QStringLiteral("card %1: nothing to store (no name, number or e-mail)").arg(p.Href));
    }
    for (const TSyncConflict &c : result.NewConflicts) {
        if (c.What == TSyncConflict::Kind::SameColumn)
            std::printf("conflict: %s, %s %s: here \"%s\" (kept), server \"%s\"\n", qPrintable(c.ContactName), qPrintable(c.Column),
                        ConflictWords(c.What), qPrintable(c.LocalValue), qPrintable(c.ServerValue));
        else
            std::printf("conflict: %s: %s\n", qPrintable(c.ContactName), ConflictWords(c.What));
    }
    std::printf("%s%d received, %d sent, %d deleted, %d conflicts (%d requests)\n", options.DryRun ? "dry run, nothing changed: " : "",
                result.Received, result.Sent, result.Deleted, int(result.NewConflicts.size()), outcome.Requests);
    if (result.Error.Kind != TSyncFailure::None)
        return Fail(SyncErrorText(result.Error));
    return ExitDone;
}

} // namespace

const TCommand SyncCommand = {
    "sync", "[DATABASE|SERVER] [--url URL] [--user NAME] [--dry-run] [--allow-mass-delete] [--trust-fingerprint SHA256]",
    kHelp,  0,
    1,      Options,
    Run};
