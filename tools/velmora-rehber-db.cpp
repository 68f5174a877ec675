// velmora-rehber-db: the contacts tool of the program.
//
//   velmora-rehber-db create FILE|SERVER [--sample N]
//   velmora-rehber-db import FILE [--into fihrist.mdb] [--dry-run] [--skip-bad] [--allow-duplicates]
//   velmora-rehber-db export FILE --format vcard|csv [--from fihrist.mdb]
//   velmora-rehber-db convert OLD.mdb [--out fihrist.mdb] [--codepage 1254]
//   velmora-rehber-db copy FILE SERVER
//   velmora-rehber-db upgrade SERVER
//
// SERVER is a libpq connection string or a postgresql:// URI.
#include "platform/core/Exception.h"
#include "contacts/ContactsDatabase.h"
#include "contacts/ContactsServer.h"
#include "tools/ExportCommand.h"
#include "tools/ImportCommand.h"
#include "tools/ConvertCommand.h"
#include "contacts/ToolSummary.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <exception>

namespace {

int Fail(const std::exception &e)
{
    std::fprintf(stderr, "velmora-rehber-db: %s\n", ExceptionText(e).toLocal8Bit().constData());
    return 1;
}

int CreateCommand(const QStringList &args)
{
    if (args.isEmpty() || args.constFirst().startsWith(u'-')) {
        std::fputs("usage: velmora-rehber-db create FILE|SERVER [--sample N]\n", args.value(0) == QLatin1String("--help") ? stdout : stderr);
        return args.value(0) == QLatin1String("--help") ? 0 : 2;
    }
    const QString path = args.constFirst();
    int sample = 0;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        bool ok = false;
        if (arg == QLatin1String("--sample") && i + 1 < args.size())
            sample = args.at(++i).toInt(&ok);
        else if (arg.startsWith(QLatin1String("--sample=")))
            sample = arg.mid(9).toInt(&ok);
        if (!ok || sample < 0) {
            std::fputs("usage: velmora-rehber-db create FILE|SERVER [--sample N]\n", stderr);
            return 2;
        }
    }
    try {
        if (IsServerName(path)) {
            CreateContactsServer(path);
            if (sample > 0)
                AddSampleContactsToServer(path, sample);
        } else {
            CreateContactsDatabase(path);
            if (sample > 0)
                AddSampleContacts(path, sample);
        }
        TToolSummary summary;
        summary.Added = sample;
        summary.Print();
    } catch (const std::exception &e) {
        return Fail(e);
    }
    return 0;
}

int CopyCommand(const QStringList &args)
{
    if (args.size() != 2 || args.constFirst().startsWith(u'-')) {
        const bool help = args.value(0) == QLatin1String("--help");
        std::fputs("usage: velmora-rehber-db copy FILE SERVER\n", help ? stdout : stderr);
        return help ? 0 : 2;
    }
    try {
        CopyContactsToServer(args.at(0), args.at(1));
    } catch (const std::exception &e) {
        return Fail(e);
    }
    return 0;
}

int UpgradeCommand(const QStringList &args)
{
    if (args.size() != 1 || args.constFirst().startsWith(u'-')) {
        const bool help = args.value(0) == QLatin1String("--help");
        std::fputs("usage: velmora-rehber-db upgrade SERVER\n", help ? stdout : stderr);
        return help ? 0 : 2;
    }
    try {
        UpgradeContactsServer(args.constFirst());
    } catch (const std::exception &e) {
        return Fail(e);
    }
    return 0;
}

struct TCommand {
    const char *Name;
    int (*Run)(const QStringList &args);
};

const TCommand kCommands[] = {
    {"create", CreateCommand},
    {"import", ImportCommand},
    {"export", ExportCommand},
    {"convert", RunConvertCommand},
    {"copy", CopyCommand},
    {"upgrade", UpgradeCommand},
};

int Usage(FILE *to)
{
    std::fputs("usage: velmora-rehber-db COMMAND ... (COMMAND --help tells more)\n"
               "  create FILE|SERVER [--sample N]\n"
               "  import FILE [--into fihrist.mdb] [--dry-run] [--skip-bad] [--allow-duplicates]\n"
               "  export FILE --format vcard|csv [--from fihrist.mdb]\n"
               "  convert OLD.mdb [--out fihrist.mdb] [--codepage 1254]\n"
               "  copy FILE SERVER\n"
               "  upgrade SERVER\n",
               to);
    return to == stdout ? 0 : 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return Usage(stderr);
    const QString name = QString::fromLocal8Bit(argv[1]);
    if (name == QLatin1String("--help") || name == QLatin1String("-h"))
        return Usage(stdout);
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    for (const TCommand &command : kCommands)
        if (name == QLatin1String(command.Name))
            return command.Run(args);
    return Usage(stderr);
}
