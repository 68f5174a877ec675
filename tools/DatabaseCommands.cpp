// create, copy and upgrade: a new contacts database, on a file or a server;
// the file's contacts copied to a server; a server database brought up to date.
#include "tools/Command.h"

#include "contacts/ContactsDatabase.h"
#include "contacts/ContactsServer.h"

#include <cstdio>

namespace {

const char kCreateHelp[] =
    "usage: velmora-rehber-db create FILE|SERVER [--sample N]\n"
    "\n"
    "Creates a new contacts database: a file holding the empty table DBASE\n"
    "(an existing file is never overwritten), or on a PostgreSQL server (a\n"
    "libpq connection string or postgresql:// URI) the schema and DBASE.\n"
    "\n"
    "  --sample N   adds N sample contacts\n"
    "  -h, --help   this text\n";

const char kCopyHelp[] =
    "usage: velmora-rehber-db copy FILE SERVER\n"
    "\n"
    "Copies every contact of the database FILE, keys included, to DBASE on\n"
    "the server, in one transaction.\n";

const char kUpgradeHelp[] =
    "usage: velmora-rehber-db upgrade SERVER\n"
    "\n"
    "Brings a server database an earlier version created up to date (the\n"
    "indexes that serve the Turkish order and search), and rewrites the table\n"
    "with its rows in the list's order, in one transaction. Nobody reads the\n"
    "contacts while it runs.\n";

const QCommandLineOption kSample(QStringLiteral("sample"), QString(), QStringLiteral("N"), QStringLiteral("0"));

QList<QCommandLineOption> CreateOptions()
{
    return {kSample};
}

int RunCreate(const QCommandLineParser &parser)
{
    const QString target = parser.positionalArguments().constFirst();
    bool ok = false;
    const int sample = parser.value(kSample).toInt(&ok);
    if (!ok || sample < 0 || target.startsWith(u'-'))
        return UsageError(CreateCommand, ok ? QString() : QStringLiteral("--sample must be a number"));
    CreateContactsDatabase(target);
    if (sample > 0)
        AddSampleContacts(target, sample);
    const QString what =
        IsServerName(target) ? QStringLiteral("the contacts table on the server") : QStringLiteral("the contacts database %1").arg(target);
    std::printf("created %s, %s\n", qPrintable(what),
                sample > 0 ? qPrintable(QStringLiteral("with %1 sample contacts").arg(sample)) : "empty");
    return ExitDone;
}

int RunCopy(const QCommandLineParser &parser)
{
    CopyContactsToServer(parser.positionalArguments().at(0), parser.positionalArguments().at(1));
    return ExitDone;
}

int RunUpgrade(const QCommandLineParser &parser)
{
    UpgradeContactsServer(parser.positionalArguments().constFirst());
    std::printf("upgraded the contacts table on the server\n");
    return ExitDone;
}

} // namespace

const TCommand CreateCommand = {"create", "FILE|SERVER [--sample N]", kCreateHelp, 1, 1, CreateOptions, RunCreate};
const TCommand CopyCommand = {"copy", "FILE SERVER", kCopyHelp, 2, 2, nullptr, RunCopy};
const TCommand UpgradeCommand = {"upgrade", "SERVER", kUpgradeHelp, 1, 1, nullptr, RunUpgrade};
